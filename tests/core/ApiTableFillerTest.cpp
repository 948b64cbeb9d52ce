// Fillers that subsystems above the core register for the engine API: run by every build of the
// tables, after the stand-ins, in registration order, once each; the fixed-size list refuses
// more than it holds.
#include "ApiTableTestSupport.h"

namespace {

// What the fillers saw and did; reset by the fixture.
int32_t g_firstRuns = 0;
int32_t g_secondRuns = 0;
bool g_sawStandInsWhenRun = false;
std::vector<int32_t> g_order;

const char* AnswerParameter(const char* key) {
    return key != nullptr ? "from the filler" : nullptr;
}

const char* AnswerParameterLater(const char*) {
    return "from the later filler";
}

void FirstFiller(zq_api_t* api) {
    ++g_firstRuns;
    g_order.push_back(1);
    // The stand-ins and the core's own slots must already be in place when a filler runs.
    g_sawStandInsWhenRun = api->GetParameter != nullptr && api->Print == &ZQ_Print &&
                           api->filesystem != nullptr && api->filesystem->OpenFile != nullptr;
    api->GetParameter = AnswerParameter;
}

void SecondFiller(zq_api_t* api) {
    ++g_secondRuns;
    g_order.push_back(2);
    api->GetParameter = AnswerParameterLater;
}

// Distinct fillers that do nothing, to fill the list.
template <int N>
void SpareFiller(zq_api_t*) {}

const ZQI_ApiTableFiller kSpareFillers[] = {
    SpareFiller<0>,  SpareFiller<1>,  SpareFiller<2>,  SpareFiller<3>,  SpareFiller<4>,  SpareFiller<5>,
    SpareFiller<6>,  SpareFiller<7>,  SpareFiller<8>,  SpareFiller<9>,  SpareFiller<10>, SpareFiller<11>,
    SpareFiller<12>, SpareFiller<13>, SpareFiller<14>, SpareFiller<15>, SpareFiller<16>};
static_assert(sizeof(kSpareFillers) / sizeof(kSpareFillers[0]) > ZQI_MAX_API_TABLE_FILLERS,
              "one spare more than the list holds");

class ApiTableFillerTest : public CoreApiTest {
protected:
    void SetUp() override {
        CoreApiTest::SetUp();
        g_firstRuns = 0;
        g_secondRuns = 0;
        g_sawStandInsWhenRun = false;
        g_order.clear();
    }

    void TearDown() override {
        ZQI_UnregisterApiTableFiller(FirstFiller);
        ZQI_UnregisterApiTableFiller(SecondFiller);
        for (ZQI_ApiTableFiller spare : kSpareFillers) {
            ZQI_UnregisterApiTableFiller(spare);
        }
        ZQI_BuildApiTables();  // the next test starts from the core's own tables
        CoreApiTest::TearDown();
    }
};

TEST_F(ApiTableFillerTest, ARegisteredFillerIsAppliedOnEveryRebuild) {
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    EXPECT_EQ(0, g_firstRuns);  // registering does not run it
    EXPECT_NE(&AnswerParameter, ZQI_GetApi()->GetParameter);

    ZQI_BuildApiTables();
    EXPECT_EQ(1, g_firstRuns);
    EXPECT_EQ(&AnswerParameter, ZQI_GetApi()->GetParameter);
    ZQI_BuildApiTables();
    EXPECT_EQ(2, g_firstRuns);
    EXPECT_STREQ("from the filler", ZQI_GetApi()->GetParameter("name"));
}

TEST_F(ApiTableFillerTest, FillersRunAfterTheStandInsAreInPlace) {
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    ZQI_BuildApiTables();
    EXPECT_TRUE(g_sawStandInsWhenRun);
}

TEST_F(ApiTableFillerTest, AnUnregisteredFillerNoLongerRunsAndTheStandInComesBack) {
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    ZQI_BuildApiTables();
    ASSERT_TRUE(ZQI_UnregisterApiTableFiller(FirstFiller));
    ZQI_BuildApiTables();
    EXPECT_EQ(1, g_firstRuns);
    EXPECT_EQ(nullptr, ZQI_GetApi()->GetParameter("name"));
    EXPECT_FALSE(ZQI_UnregisterApiTableFiller(FirstFiller));
}

TEST_F(ApiTableFillerTest, FillersRunInRegistrationOrderAndTheLaterOneWins) {
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(SecondFiller));
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    ZQI_BuildApiTables();
    EXPECT_EQ((std::vector<int32_t>{2, 1}), g_order);
    EXPECT_EQ(&AnswerParameter, ZQI_GetApi()->GetParameter);
}

TEST_F(ApiTableFillerTest, UnregisteringKeepsTheOthersInOrder) {
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(kSpareFillers[0]));
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(SecondFiller));
    ASSERT_TRUE(ZQI_UnregisterApiTableFiller(kSpareFillers[0]));
    ZQI_BuildApiTables();
    EXPECT_EQ((std::vector<int32_t>{1, 2}), g_order);
    EXPECT_EQ(&AnswerParameterLater, ZQI_GetApi()->GetParameter);
}

TEST_F(ApiTableFillerTest, RegisteringTheSameFillerTwiceRunsItOncePerBuild) {
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    EXPECT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    ZQI_BuildApiTables();
    EXPECT_EQ(1, g_firstRuns);
    ASSERT_TRUE(ZQI_UnregisterApiTableFiller(FirstFiller));
    EXPECT_FALSE(ZQI_UnregisterApiTableFiller(FirstFiller));  // it was in the list only once
}

TEST_F(ApiTableFillerTest, ANullFillerIsRefusedWithALogLine) {
    EXPECT_FALSE(ZQI_RegisterApiTableFiller(nullptr));
    EXPECT_EQ(1, CountLoggedLines("[ERROR] ZQI_RegisterApiTableFiller: the filler is null."));
    ZQI_BuildApiTables();  // and nothing null is called
    EXPECT_FALSE(ZQI_UnregisterApiTableFiller(nullptr));
}

TEST_F(ApiTableFillerTest, AFullListRefusesAnotherFillerAndKeepsTheOthers) {
    for (int32_t i = 0; i < ZQI_MAX_API_TABLE_FILLERS - 1; ++i) {
        ASSERT_TRUE(ZQI_RegisterApiTableFiller(kSpareFillers[i]));
    }
    ASSERT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));
    EXPECT_FALSE(ZQI_RegisterApiTableFiller(SecondFiller));
    EXPECT_EQ(1, CountLoggedLines("[ERROR] ZQI_RegisterApiTableFiller: all " +
                                  std::to_string(ZQI_MAX_API_TABLE_FILLERS) + " fillers are in use."));
    EXPECT_TRUE(ZQI_RegisterApiTableFiller(FirstFiller));  // already in: still fine when full
    ZQI_BuildApiTables();
    EXPECT_EQ(1, g_firstRuns);
    EXPECT_EQ(0, g_secondRuns);

    ASSERT_TRUE(ZQI_UnregisterApiTableFiller(kSpareFillers[0]));
    EXPECT_TRUE(ZQI_RegisterApiTableFiller(SecondFiller));  // room again
    ZQI_BuildApiTables();
    EXPECT_EQ(1, g_secondRuns);
}

}  // namespace
