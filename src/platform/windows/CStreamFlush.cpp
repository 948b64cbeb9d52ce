// Flushing every C runtime's streams without letting one held stream stop the others.
//
// A runtime's flush-all (fflush(NULL)) takes each stream's lock in turn and waits for it, so a
// stream that another thread holds (one blocked writing to a full pipe, or a thread that ended
// holding it) stops it there for good, and every stream after it keeps its buffer. No runtime
// exports a try-lock, so each stream it lets us reach is flushed on a thread of its own, where a
// held one blocks only that thread; the runtime's own flush-all still runs, on a thread of its
// own per runtime, for the streams it alone can reach.
//
// msvcrt.dll and msvcr80-120 keep their first 20 streams in the table they export (__iob_func,
// _iob), laid out as their stdio.h's FILE; the rest sit in blocks they do not export. The
// universal runtime (ucrtbase) exports only stdin, stdout and stderr (__acrt_iob_func) and keeps
// its FILE opaque, so its streams are reached only through its flush-all.
#include "platform/windows/CStreamFlush.h"

#include <windows.h>

#include <cstdio>
#include <new>

namespace {

struct SharedRuntime {
    const char* name;
    bool exportsStreamTable;  // __iob_func or _iob: the first kStreamTableEntries streams
};

// The shared C runtimes a library of the process may keep its streams in: the engine's own is
// one of them, and a program library built with another compiler uses another. A runtime linked
// into a library statically has no exports, so its streams cannot be reached from here.
const SharedRuntime kSharedRuntimes[] = {
    {"msvcrt.dll", true},    {"ucrtbase.dll", false}, {"ucrtbased.dll", false}, {"msvcr120.dll", true},
    {"msvcr120d.dll", true}, {"msvcr110.dll", true},  {"msvcr110d.dll", true},  {"msvcr100.dll", true},
    {"msvcr100d.dll", true}, {"msvcr90.dll", true},   {"msvcr90d.dll", true},   {"msvcr80.dll", true},
    {"msvcr80d.dll", true},  {"msvcr71.dll", true},   {"msvcr70.dll", true}};
const int kRuntimeCount = sizeof(kSharedRuntimes) / sizeof(kSharedRuntimes[0]);

// A stream as the runtimes before the universal one lay it out (their stdio.h's struct _iobuf),
// whatever C runtime the engine itself is built against. Only its flags are read.
struct LegacyStream {
    char* pointer;
    int count;
    char* base;
    int flags;
    int descriptor;
    int pushedBack;
    int bufferSize;
    char* temporaryName;
};
const int kStreamTableEntries = 20;  // _IOB_ENTRIES
const int kWritingFlag = 0x0002;     // _IOWRT: the stream's buffer holds what was written

typedef int(__cdecl* FlushFunction)(FILE*);
typedef void(__cdecl* LockFunction)(FILE*);
typedef void*(__cdecl* TableFunction)();

// One flush handed to a thread: a stream of a runtime's table, or (stream null) the runtime's
// flush-all.
struct FlushJob {
    FlushFunction flush;
    LockFunction lock;
    LockFunction unlock;
    LegacyStream* stream;
};

// Each runtime's table streams and its flush-all.
const int kMostJobs = kRuntimeCount * (kStreamTableEntries + 1) + 1;
const SIZE_T kFlushThreadStack = 64 * 1024;

// Under the stream's lock, as the runtime's flush-all does: a stream that switched to reading
// meanwhile keeps what it had read ahead.
DWORD WINAPI RunFlushJob(void* argument) {
    const FlushJob* job = static_cast<const FlushJob*>(argument);
    if (job->stream == nullptr) {
        job->flush(nullptr);
        return 0;
    }
    FILE* stream = reinterpret_cast<FILE*>(job->stream);
    job->lock(stream);
    if ((job->stream->flags & kWritingFlag) != 0) {
        job->flush(stream);
    }
    job->unlock(stream);
    return 0;
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The runtime's table of streams; null when it exports none.
LegacyStream* StreamTable(HMODULE runtime) {
    if (TableFunction table = Export<TableFunction>(runtime, "__iob_func")) {
        return static_cast<LegacyStream*>(table());
    }
    return reinterpret_cast<LegacyStream*>(GetProcAddress(runtime, "_iob"));
}

// The module that holds the engine's own runtime: the one its stdout lives in (a shared runtime,
// or the engine itself when linked in statically). The address of fflush would not tell: it is
// the import stub in the engine's executable.
HMODULE OwnRuntime() {
    HMODULE own = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(stdout), &own);
    return own;
}

class FlushThreads {
public:
    // The jobs stay for the threads, which may outlive the wait: Cancel runs once, and ends the
    // process right after.
    FlushThreads() : jobs_(new (std::nothrow) FlushJob[kMostJobs]), count_(0) {}

    // Starts job on a thread of its own; a job whose thread cannot start is left out, since
    // running it here could block the caller for good.
    void Start(const FlushJob& job) {
        if (jobs_ == nullptr || count_ == kMostJobs) {
            return;
        }
        jobs_[count_] = job;
        HANDLE thread = CreateThread(nullptr, kFlushThreadStack, RunFlushJob, &jobs_[count_],
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread != nullptr) {
            threads_[count_++] = thread;
        }
    }

    void AddRuntime(HMODULE runtime, bool exportsStreamTable) {
        const FlushFunction flush = Export<FlushFunction>(runtime, "fflush");
        if (flush == nullptr) {
            return;
        }
        const LockFunction lock = Export<LockFunction>(runtime, "_lock_file");
        const LockFunction unlock = Export<LockFunction>(runtime, "_unlock_file");
        LegacyStream* table = exportsStreamTable ? StreamTable(runtime) : nullptr;
        if (table != nullptr && lock != nullptr && unlock != nullptr) {
            for (int i = 0; i < kStreamTableEntries; ++i) {
                if ((table[i].flags & kWritingFlag) != 0) {
                    Start({flush, lock, unlock, &table[i]});
                }
            }
        }
        Start({flush, nullptr, nullptr, nullptr});
    }

    // Until every flush ended or the time is up.
    void Wait(uint32_t milliseconds) {
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        for (int i = 0; i < count_; ++i) {
            const ULONGLONG now = GetTickCount64();
            WaitForSingleObject(threads_[i], now < deadline ? static_cast<DWORD>(deadline - now) : 0);
            CloseHandle(threads_[i]);
        }
    }

private:
    FlushJob* jobs_;
    HANDLE threads_[kMostJobs];
    int count_;
};

}  // namespace

void ZQI_FlushEveryCStream(uint32_t waitMilliseconds) {
    FlushThreads threads;
    bool ownIsShared = false;
    const HMODULE own = OwnRuntime();
    for (const SharedRuntime& shared : kSharedRuntimes) {
        HMODULE runtime = GetModuleHandleA(shared.name);  // only runtimes already loaded
        if (runtime != nullptr) {
            ownIsShared = ownIsShared || runtime == own;
            threads.AddRuntime(runtime, shared.exportsStreamTable);
        }
    }
    if (!ownIsShared) {
        threads.Start({&fflush, nullptr, nullptr, nullptr});
    }
    threads.Wait(waitMilliseconds);
}
