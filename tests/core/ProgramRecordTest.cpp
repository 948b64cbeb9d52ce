// The program interface record: the interface version rule, loading a library's record through
// the platform hooks, the fallback record of an incompatible library, and the identity checks.
#include "ApiTableTestSupport.h"
#include "core/ProgramRecord.h"

namespace {

// What the fake platform layer saw and hands out.
struct FakeLibrary {
    zq_program_t record;
    bool hasRecord = true;
    int32_t unloads = 0;
    int32_t exits = 0;
    int32_t exitCode = -1;
};

FakeLibrary* g_library = nullptr;

zq_program_t* LoadFakeLibrary() {
    return g_library->hasRecord ? &g_library->record : nullptr;
}

void UnloadFakeLibrary() {
    ++g_library->unloads;
}

void RecordExit(int32_t code) {
    ++g_library->exits;
    g_library->exitCode = code;
}

class ProgramRecordTest : public CoreApiTest {
protected:
    void SetUp() override {
        CoreApiTest::SetUp();
        memset(&library_.record, 0, sizeof(library_.record));
        library_.record.interface_version = ZQ_INTERFACE_VERSION;
        g_library = &library_;
        ZQI_ProgramLibraryHooks hooks = {LoadFakeLibrary, UnloadFakeLibrary, RecordExit};
        ZQI_SetProgramLibraryHooks(&hooks);
        memset(&g_core.programRecord, 0, sizeof(g_core.programRecord));
        g_core.commandLine = commandLine_;
    }

    void TearDown() override {
        ZQI_SetProgramLibraryHooks(nullptr);
        g_library = nullptr;
        g_core.commandLine = nullptr;
        CoreApiTest::TearDown();
    }

    // A manifest record with every identity field set.
    static void FillIdentity(zq_program_t* record) {
        strcpy(record->id, "game");
        strcpy(record->title, "Game");
        strcpy(record->user_dir_name, "Game");
        strcpy(record->version, "1.0.0");
        strcpy(record->developer_name, "Studio");
    }

    FakeLibrary library_;
    char commandLine_[32] = "zorqa.exe --features NO_SOUND";
};

// ---- Version rule ----

TEST_F(ProgramRecordTest, AnyPatchOfTheEngineMajorAndMinorIsAccepted) {
    EXPECT_TRUE(ZQI_IsProgramInterfaceVersionSupported(ZQ_MAKE_INTERFACE_VERSION(15, 46, 0)));
    EXPECT_TRUE(ZQI_IsProgramInterfaceVersionSupported(ZQ_MAKE_INTERFACE_VERSION(15, 46, 4095)));
    EXPECT_FALSE(ZQI_IsProgramInterfaceVersionSupported(ZQ_MAKE_INTERFACE_VERSION(15, 45, 1)));
    EXPECT_FALSE(ZQI_IsProgramInterfaceVersionSupported(ZQ_MAKE_INTERFACE_VERSION(16, 46, 1)));
    EXPECT_FALSE(ZQI_IsProgramInterfaceVersionSupported(0));
}

TEST_F(ProgramRecordTest, IncompatibleMessageNamesTheProgramVersionFirst) {
    char message[512];
    ZQI_FormatIncompatibleProgramMessage(ZQ_MAKE_INTERFACE_VERSION(15, 45, 3), message, sizeof(message));
    EXPECT_EQ(0, strncmp(message,
                         "Program library uses incompatible ZORQA interface (15.45.3 instead of "
                         "15.46.1). This program cannot run.\n\n",
                         strlen("Program library uses incompatible ZORQA interface (15.45.3 "
                                "instead of 15.46.1). This program cannot run.\n\n")));
    EXPECT_GT(strlen(message), strlen("Program library uses incompatible ZORQA interface"));
}

// ---- Loading ----

TEST_F(ProgramRecordTest, CompatibleRecordGetsTheEngineApiAndBecomesTheRecordInUse) {
    g_core.developerMode = 1;
    library_.record.interface_version = ZQ_MAKE_INTERFACE_VERSION(15, 46, 7);
    EXPECT_TRUE(LoadProgramImplementation());
    EXPECT_EQ(&library_.record, g_core.program);
    EXPECT_EQ(ZQI_GetApi(), library_.record.api);
    EXPECT_EQ(commandLine_, library_.record.parameters.command_line);
    EXPECT_EQ(1, library_.record.parameters.developer);
    EXPECT_EQ(0, library_.unloads);
    EXPECT_EQ(0, library_.exits);
    EXPECT_EQ(1, CountLoggedLines("[SYSTEM] Program implementation validation OK."));
}

TEST_F(ProgramRecordTest, NoRecordFailsTheLoad) {
    library_.hasRecord = false;
    EXPECT_FALSE(LoadProgramImplementation());
    EXPECT_EQ(nullptr, g_core.program);
    EXPECT_EQ(0, library_.exits);
}

TEST_F(ProgramRecordTest, IncompatibleRecordUnloadsReportsAndEndsTheProcess) {
    library_.record.interface_version = ZQ_MAKE_INTERFACE_VERSION(16, 46, 1);
    EXPECT_FALSE(LoadProgramImplementation());
    EXPECT_EQ(1, library_.unloads);
    EXPECT_EQ(1, library_.exits);
    EXPECT_EQ(0, library_.exitCode);
    ASSERT_EQ(1u, RecordedPopups().size());
    EXPECT_EQ(LOG_LEVEL_ERROR, RecordedPopups()[0].level);
    EXPECT_NE(std::string::npos, RecordedPopups()[0].text.find("(16.46.1 instead of 15.46.1)"));
    EXPECT_EQ(nullptr, library_.record.api);

    zq_program_t* fallback = g_core.program;
    ASSERT_NE(nullptr, fallback);
    EXPECT_NE(&library_.record, fallback);
    EXPECT_EQ(1, g_core.fallbackRecordInUse);
    EXPECT_EQ(0, fallback->parameters.developer);
}

TEST_F(ProgramRecordTest, FallbackRecordSucceedsAndDoesNothing) {
    zq_program_t* fallback = ZQI_UseFallbackProgramRecord();
    EXPECT_EQ(fallback, g_core.program);
    EXPECT_EQ(ZQ_INTERFACE_VERSION, fallback->interface_version);
    EXPECT_EQ(1, fallback->parameters.windowed);
    EXPECT_EQ(1, fallback->parameters.developer);
    EXPECT_EQ('\0', fallback->id[0]);
    EXPECT_EQ(nullptr, fallback->api);
    ASSERT_NE(nullptr, fallback->Init);
    EXPECT_TRUE(fallback->Init());
    fallback->Update(0.016f);
    fallback->Shutdown();
    zq_event_t event;
    memset(&event, 0, sizeof(event));
    event.type = ZQ_EVENT_QUIT_REQUEST;
    EXPECT_EQ(0, fallback->HandleEvent(&event));
    EXPECT_EQ(nullptr, fallback->HandleCrash);
    // Draws nothing: the core's own build has no graphics slots.
    fallback->Draw(0.016f);
}

// ---- Identity checks ----

TEST_F(ProgramRecordTest, UserFolderNameKeepsOnlyDashesLettersAndDigits) {
    FillIdentity(&g_core.programRecord);
    strcpy(g_core.programRecord.user_dir_name, "My Game: 2!");
    g_core.program = &g_core.programRecord;
    ZQI_CheckProgramFields();
    EXPECT_STREQ("My_Game__2_", g_core.userDirName);
    EXPECT_STREQ("Studio", g_core.developerName);
}

TEST_F(ProgramRecordTest, UserFolderNameReplacesBytesOutsideAscii) {
    FillIdentity(&g_core.programRecord);
    strcpy(g_core.programRecord.user_dir_name, "Caf\xC3\xA9-1");
    g_core.program = &g_core.programRecord;
    ZQI_CheckProgramFields();
    EXPECT_STREQ("Caf__-1", g_core.userDirName);
}

// The user folders would refuse these names (a separator or a drive colon could leave the
// application-data folder), and that refusal comes before logging starts, where nobody sees it.
TEST_F(ProgramRecordTest, DeveloperNameLosesSeparatorsAndColonsOnly) {
    const struct {
        const char* given;
        const char* kept;
    } cases[] = {{"Studio/Games", "Studio_Games"},
                 {"Studio\\Games", "Studio_Games"},
                 {"C:Studio", "C_Studio"},
                 {"../Studio", ".._Studio"},
                 {"Studio Name & Co.", "Studio Name & Co."}};
    for (const auto& c : cases) {
        FillIdentity(&g_core.programRecord);
        strcpy(g_core.programRecord.developer_name, c.given);
        g_core.program = &g_core.programRecord;
        ZQI_CheckProgramFields();
        EXPECT_STREQ(c.kept, g_core.developerName) << c.given;
    }
}

TEST_F(ProgramRecordTest, EmptyNamesTakeTheirDefaults) {
    FillIdentity(&g_core.programRecord);
    g_core.programRecord.developer_name[0] = '\0';
    g_core.programRecord.user_dir_name[0] = '\0';
    g_core.program = &g_core.programRecord;
    ZQI_CheckProgramFields();
    EXPECT_STREQ("Ostrel", g_core.developerName);
    EXPECT_STREQ("unknown", g_core.userDirName);
}

TEST_F(ProgramRecordTest, LongNamesAreCutToTheCoreFields) {
    FillIdentity(&g_core.programRecord);
    // Fields filled to the last byte, without a terminating NUL.
    memset(g_core.programRecord.developer_name, 'd', sizeof(g_core.programRecord.developer_name));
    memset(g_core.programRecord.user_dir_name, 'u', sizeof(g_core.programRecord.user_dir_name));
    g_core.program = &g_core.programRecord;
    ZQI_CheckProgramFields();
    EXPECT_EQ(std::string(31, 'd'), g_core.developerName);
    EXPECT_EQ(std::string(127, 'u'), g_core.userDirName);
}

TEST_F(ProgramRecordTest, EachMissingIdentityFieldRaisesItsWarningInOrder) {
    g_core.developerMode = 1;  // before the program's Init every popup is shown at once
    g_core.program = &g_core.programRecord;
    ZQI_CheckProgramFields();
    const char* expected[] = {
        "Program doesn't have 'zq_program_t::id' set, set 'prog->id'",
        "Program doesn't have 'zq_program_t::title' set, set 'prog->title'",
        "Program doesn't have 'zq_program_t::user_dir_name' set, set 'prog->user_dir_name' or "
        "'prog->title'",
        "Program doesn't have 'zq_program_t::version' set, set 'prog->version', e.g. to "
        "\"1.0.0\"",
        "Program doesn't have 'zq_program_t::developer_name' set, set 'prog->developer_name'"};
    ASSERT_EQ(5u, RecordedPopups().size());
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(LOG_LEVEL_WARNING, RecordedPopups()[i].level);
        EXPECT_EQ(expected[i], RecordedPopups()[i].text);
    }
}

TEST_F(ProgramRecordTest, CompleteIdentityRaisesNothing) {
    g_core.developerMode = 1;
    FillIdentity(&g_core.programRecord);
    g_core.program = &g_core.programRecord;
    ZQI_CheckProgramFields();
    EXPECT_TRUE(RecordedPopups().empty());
}

TEST_F(ProgramRecordTest, CheckWithoutRecordIsRefused) {
    ZQI_CheckProgramFields();
    EXPECT_EQ(1, CountLoggedLines("[ERROR] ZQI_CheckProgramFields: no program record is in use."));
}

}  // namespace
