// The simulated social network: its fixed users, login and friends events, and picture
// addresses.
#include "services/SimulatedSocial.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/ApiTable.h"
#include "core/EventQueue.h"
#include "core/Log.h"
#include "core/NamedMutex.h"
#include "services/LeaderboardEvents.h"
#include "services/ServiceRandom.h"
#include "services/ScopedLock.h"

namespace {

struct FixedUser {
    const char* id;
    const char* name;
};

const FixedUser kLocalUser = {"314159265", "Local User"};
const FixedUser kFriends[] = {
    {"271828182", "Aada"}, {"161803398", "Bruno"},  {"141421356", "Chiara"}, {"173205080", "Dmitri"},
    {"223606797", "Esme"}, {"244948974", "Farid"},  {"264575131", "Greta"},  {"282842712", "Hugo"},
    {"316227766", "Ilse"}, {"331662479", "Jasper"},
};

const int32_t kLocalValueRange = 30;
const int32_t kFriendValueRange = 40;
const int32_t kFriendValueBase = 3;
const int32_t kPictureCacheMode = 4;
// The simulated network's host; pictures are asked for as the real network's would be.
const char kPictureHost[] = "http://graph.zorqa.invalid";

// Heap copies of a user's texts for the program; false (nothing kept) when memory runs out.
bool CopyUser(const SocialUser& user, zq_social_user_t* record) {
    memset(record, 0, sizeof(*record));
    record->id = CopyStringForProgram(user.id.CStr());
    record->name = CopyStringForProgram(user.name.CStr());
    record->value = user.value;
    if (record->id == nullptr || record->name == nullptr) {
        ZQ_FreeMemory(record->id);
        ZQ_FreeMemory(record->name);
        return false;
    }
    return true;
}

void FreeUserRecords(zq_social_user_t* records, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        ZQ_FreeMemory(records[i].id);
        ZQ_FreeMemory(records[i].name);
    }
    ZQ_FreeMemory(records);
}

// The largest value first, values compared unsigned. The exchange is a fixed one: every pair
// (i, j) in order, exchanged when the value at i is greater than the one at j.
void OrderByValue(zq_social_user_t* records, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t j = 0; j < count; ++j) {
            if (records[i].value > records[j].value) {
                zq_social_user_t exchanged = records[i];
                records[i] = records[j];
                records[j] = exchanged;
            }
        }
    }
}

}  // namespace

SimulatedSocialImplementation::SimulatedSocialImplementation()
    : mutex_(nullptr), state_(SOCIAL_LOGGED_OUT), localUser_(nullptr) {}

SimulatedSocialImplementation::~SimulatedSocialImplementation() {
    ReleaseUsers();
}

void SimulatedSocialImplementation::ReleaseUsers() {
    for (SocialUser* user : users_) {
        delete user;
    }
    users_.Clear();
    localUser_ = nullptr;
}

bool SimulatedSocialImplementation::Initialize() {
    state_ = SOCIAL_LOGGED_OUT;
    mutex_ = ZQI_CreateEngineMutex("SocialImplementation");
    ReleaseUsers();
    return true;
}

bool SimulatedSocialImplementation::CreateUsers() {
    SocialUser* local = new (std::nothrow) SocialUser{kLocalUser.id, kLocalUser.name, 0};
    if (local == nullptr) {
        return false;
    }
    local->value = static_cast<uint32_t>(ZQI_ServiceRandomBelow(kLocalValueRange));
    users_.Push(local);
    for (const FixedUser& fixed : kFriends) {
        SocialUser* user = new (std::nothrow) SocialUser{fixed.id, fixed.name, 0};
        if (user != nullptr) {
            users_.Push(user);
        }
    }
    for (int32_t position = 1; position < users_.count; ++position) {
        users_[position]->value =
            static_cast<uint32_t>(ZQI_ServiceRandomBelow(kFriendValueRange) + kFriendValueBase + position);
    }
    localUser_ = local;
    return true;
}

void SimulatedSocialImplementation::Login() {
    ScopedLock lock(mutex_);
    if (state_ != SOCIAL_LOGGED_OUT) {
        return;
    }
    if (localUser_ == nullptr && !CreateUsers()) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedSocial::Login: out of memory.");
        return;
    }
    state_ = SOCIAL_LOGGED_IN;
    zq_social_user_t* record = static_cast<zq_social_user_t*>(ZQ_AllocateMemory(sizeof(zq_social_user_t)));
    if (record == nullptr || !CopyUser(*localUser_, record)) {
        ZQ_FreeMemory(record);
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedSocial::Login: out of memory; no login event.");
        return;
    }
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_SOCIAL_LOGIN);
    event.social_login.logged_in = 1;
    event.social_login.user = record;
    ZQI_PostEvent(&event);
}

void SimulatedSocialImplementation::Logout() {
    ScopedLock lock(mutex_);
    if (state_ == SOCIAL_LOGGED_IN) {
        state_ = SOCIAL_LOGGED_OUT;
    }
}

int32_t SimulatedSocialImplementation::GetLoginState() {
    return state_;
}

void SimulatedSocialImplementation::SetLocalUserValue(uint32_t value) {
    ScopedLock lock(mutex_);
    if (localUser_ != nullptr) {
        localUser_->value = value;
    }
}

void SimulatedSocialImplementation::RequestFriends() {
    ScopedLock lock(mutex_);
    if (localUser_ == nullptr || state_ != SOCIAL_LOGGED_IN) {
        return;  // logged out: no event
    }
    int32_t count = users_.count;
    zq_social_user_t* records = static_cast<zq_social_user_t*>(
        ZQ_AllocateMemory(static_cast<uint32_t>(count * sizeof(zq_social_user_t))));
    for (int32_t i = 0; records != nullptr && i < count; ++i) {
        if (!CopyUser(*users_[i], &records[i])) {
            FreeUserRecords(records, i);
            records = nullptr;
        }
    }
    if (records == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR, "SimulatedSocial::RequestFriends: out of memory; no friends event.");
        return;
    }
    OrderByValue(records, count);
    zq_event_t event;
    ZQ_InitializeEvent(&event, ZQ_EVENT_SOCIAL_FRIENDS);
    event.social_friends.users = records;
    event.social_friends.count = count;
    ZQI_PostEvent(&event);
}

zq_bitmap_t* SimulatedSocialImplementation::GetProfilePicture(const char* userId, int32_t size) {
    if (userId == nullptr) {
        return nullptr;
    }
    String address = String::FromFormat("%s/%s/picture?width=%d&height=%d&return_ssl_resources=0",
                                        kPictureHost, userId, size, size);
    zq_graphics_api_t* graphics = ZQI_GetApi()->graphics;
    if (graphics == nullptr || graphics->LoadBitmap == nullptr) {
        return nullptr;
    }
    return graphics->LoadBitmap(address.CStr(), kPictureCacheMode);
}
