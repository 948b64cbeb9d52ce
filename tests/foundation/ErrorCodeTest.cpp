// Error codes and the shared error report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/ErrorCode.h"
#include "foundation/FoundationHooks.h"

namespace {

struct Report {
    std::string kind;
    int32_t level;
    std::string text;
};
std::vector<Report> g_reports;
bool g_developerMode = false;

void CaptureLog(int32_t level, const char* text) {
    g_reports.push_back({"log", level, text});
}
void CapturePopup(int32_t level, const char* text) {
    g_reports.push_back({"popup", level, text});
}
bool DeveloperMode() {
    return g_developerMode;
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZQI_ErrorReportSink sink = {CaptureLog, CapturePopup, DeveloperMode};
        ZQI_SetErrorReportSink(&sink);
        g_reports.clear();
        g_developerMode = false;
    }
    void TearDown() override { ZQI_SetErrorReportSink(nullptr); }
};

}  // namespace

TEST(ErrorCode, CategoryNames) {
    EXPECT_STREQ("No category", ZQI_GetErrorCategoryName(0x00005));
    EXPECT_STREQ("D3D11 Renderer", ZQI_GetErrorCategoryName(0x10000));
    EXPECT_STREQ("D3D12 Renderer", ZQI_GetErrorCategoryName(0x20000));
    EXPECT_STREQ("D3D11/12 DXGI", ZQI_GetErrorCategoryName(0x30002));
    EXPECT_STREQ("Vulkan Renderer", ZQI_GetErrorCategoryName(0x40000));
    EXPECT_STREQ("XInput", ZQI_GetErrorCategoryName(0x50001));
    EXPECT_STREQ("PlayStation 5", ZQI_GetErrorCategoryName(0x60000));
    EXPECT_STREQ("Agc Renderer", ZQI_GetErrorCategoryName(0x70000));
    EXPECT_STREQ("Unknown category", ZQI_GetErrorCategoryName(0x90000));
    EXPECT_STREQ("Unknown category", ZQI_GetErrorCategoryName(0xFFFF0000u));
}

TEST(ErrorCode, Texts) {
    EXPECT_STREQ("no error", ZQI_GetErrorCodeText(0));
    EXPECT_STREQ("failed to create a buffer", ZQI_GetErrorCodeText(0x10000));
    EXPECT_STREQ("failed to create the D3D device", ZQI_GetErrorCodeText(0x10001));
    EXPECT_STREQ("failed to query the D3D device", ZQI_GetErrorCodeText(0x10002));
    EXPECT_STREQ("failed to query the D3D device context", ZQI_GetErrorCodeText(0x10003));
    EXPECT_STREQ("failed to create the SDR swap chain", ZQI_GetErrorCodeText(0x10004));
    EXPECT_STREQ("failed to create the HDR swap chain", ZQI_GetErrorCodeText(0x10005));
    EXPECT_STREQ("failed to get the swap chain color buffer", ZQI_GetErrorCodeText(0x10006));
    EXPECT_STREQ("failed to create the swap chain color render target view", ZQI_GetErrorCodeText(0x10007));
    EXPECT_STREQ("failed to create the swap chain depth stencil buffer", ZQI_GetErrorCodeText(0x10008));
    EXPECT_STREQ("failed to create the swap chain depth stencil render target view",
                 ZQI_GetErrorCodeText(0x10009));
    EXPECT_STREQ("failed to create the HDR swap chain shader resource view", ZQI_GetErrorCodeText(0x1000A));
    EXPECT_STREQ("failed to create a rasterizer state", ZQI_GetErrorCodeText(0x1000B));
    EXPECT_STREQ("failed to create a sampler state", ZQI_GetErrorCodeText(0x1000C));
    EXPECT_STREQ("failed to create a depth stencil state", ZQI_GetErrorCodeText(0x1000D));
    EXPECT_STREQ("failed to create a blend state", ZQI_GetErrorCodeText(0x1000E));
    EXPECT_STREQ("failed to enumerate adapters", ZQI_GetErrorCodeText(0x30000));
    EXPECT_STREQ("failed to enumerate adapter outputs", ZQI_GetErrorCodeText(0x30001));
    EXPECT_STREQ("failed to get output display modes", ZQI_GetErrorCodeText(0x30002));
    EXPECT_STREQ("failed to get a DXGI factory", ZQI_GetErrorCodeText(0x30003));
    EXPECT_STREQ("failed to load library", ZQI_GetErrorCodeText(0x50000));
    EXPECT_STREQ("failed to load functions", ZQI_GetErrorCodeText(0x50001));
    EXPECT_STREQ("unknown error", ZQI_GetErrorCodeText(0x1000F));
    EXPECT_STREQ("unknown error", ZQI_GetErrorCodeText(0x90000));
    EXPECT_STREQ("unknown error", ZQI_GetErrorCodeText(0x20000));
    EXPECT_EQ(0x30002u, ZQI_MakeErrorCode(ERRCAT_DXGI, 2));
    EXPECT_EQ(ERRCAT_XINPUT, ZQI_GetErrorCategory(ERRCODE_XINPUT_LOAD_FUNCTIONS));
}

TEST_F(ReportTest, PlainFormGoesToLogOutsideDeveloperMode) {
    ZQI_ReportError(0x30002, 0, nullptr);
    ASSERT_EQ(1u, g_reports.size());
    EXPECT_EQ("log", g_reports[0].kind);
    EXPECT_EQ(2, g_reports[0].level);
    EXPECT_EQ("D3D11/12 DXGI error: failed to get output display modes (0x00030002)", g_reports[0].text);
}

TEST_F(ReportTest, DeveloperModeShowsPopup) {
    g_developerMode = true;
    ZQI_ReportError(0x10000, 0, "%s", "Vertex buffer");
    ASSERT_EQ(1u, g_reports.size());
    EXPECT_EQ("popup", g_reports[0].kind);
    EXPECT_EQ(2, g_reports[0].level);
    EXPECT_EQ("D3D11 Renderer error: failed to create a buffer (0x00010000)\n\nVertex buffer",
              g_reports[0].text);
}

TEST_F(ReportTest, UnknownCategory) {
    ZQI_ReportError(0x90001, 0, "x=%d", 5);
    ASSERT_EQ(1u, g_reports.size());
    EXPECT_EQ("Unknown category error: unknown error (0x00090001)\n\nx=5", g_reports[0].text);
}

TEST_F(ReportTest, DetailIsCutAt4093Characters) {
    std::string longDetail(5000, 'd');
    ZQI_ReportError(0x10001, 0, "%s", longDetail.c_str());
    ASSERT_EQ(1u, g_reports.size());
    std::string prefix = "D3D11 Renderer error: failed to create the D3D device (0x00010001)\n\n";
    ASSERT_EQ(prefix, g_reports[0].text.substr(0, prefix.size()));
    EXPECT_EQ(4093u, g_reports[0].text.size() - prefix.size());
}

TEST_F(ReportTest, DetailContainingPercentIsNotReformatted) {
    ZQI_ReportError(0x1000D, 0, "DepthFunc = %i", 7);
    ZQI_ReportError(0x1000D, 0, "%s", "100%s done");
    ASSERT_EQ(2u, g_reports.size());
    EXPECT_NE(std::string::npos, g_reports[0].text.find("\n\nDepthFunc = 7"));
    EXPECT_NE(std::string::npos, g_reports[1].text.find("\n\n100%s done"));
}

TEST_F(ReportTest, WindowsErrorForm) {
    ZQI_ReportError(0x30003, 5, "%s", "Create");
    ASSERT_EQ(1u, g_reports.size());
    const std::string& text = g_reports[0].text;
    std::string head =
        "D3D11/12 DXGI error: failed to get a DXGI factory (0x00030003)\n\n"
        "Windows error 0x00000005: ";
    ASSERT_EQ(head, text.substr(0, head.size()));
    EXPECT_EQ("\n\nCreate", text.substr(text.size() - 8));
    EXPECT_EQ(std::string::npos, text.find('\r'));  // the system text's CR LF is cut
    // The system text sits between the head and the detail.
    char* systemText = ZQI_GetSystemErrorText(5);
    std::string expected = head + (systemText != nullptr ? systemText : "") + "\n\nCreate";
    ZQI_ReleaseSystemErrorText(systemText);
    EXPECT_EQ(expected, text);
}

TEST_F(ReportTest, PlatformErrorForm) {
    ZQI_ReportPlatformError(0x50000, 0, "");
    g_developerMode = true;
    ZQI_ReportPlatformError(0x30000, -2147467259, nullptr);
    ASSERT_EQ(2u, g_reports.size());
    EXPECT_EQ("log", g_reports[0].kind);
    EXPECT_EQ("XInput error: failed to load library (0x00050000, platform error 0).", g_reports[0].text);
    EXPECT_EQ("popup", g_reports[1].kind);
    EXPECT_EQ(
        "D3D11/12 DXGI error: failed to enumerate adapters (0x00030000, platform error "
        "-2147467259).",
        g_reports[1].text);
}

TEST(TrimSystemText, CutsTrailingCrLf) {
    char a[] = "Access is denied.\r\n";
    ZQI_TrimSystemText(a);
    EXPECT_STREQ("Access is denied.", a);
    char b[] = "No line end";
    ZQI_TrimSystemText(b);
    EXPECT_STREQ("No line end", b);
    char c[] = "\r\n";
    ZQI_TrimSystemText(c);
    EXPECT_STREQ("", c);
    char d[] = "\n";
    ZQI_TrimSystemText(d);
    EXPECT_STREQ("\n", d);
    ZQI_TrimSystemText(nullptr);
}

#if defined(_WIN32)
TEST(SystemErrorText, WindowsMessageTableWithoutCrLf) {
    char* text = ZQI_GetSystemErrorText(5);  // ERROR_ACCESS_DENIED
    ASSERT_NE(nullptr, text);
    EXPECT_GT(strlen(text), 0u);
    EXPECT_EQ(nullptr, strchr(text, '\r'));
    ZQI_ReleaseSystemErrorText(text);
}
#endif

TEST(ErrorReportSink, DefaultsWriteToStderr) {
    ZQI_SetErrorReportSink(nullptr);
    testing::internal::CaptureStderr();
    ZQI_ReportError(0x50001, 0, nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("XInput error: failed to load functions (0x00050001)"));
    // A partial sink keeps the defaults for its null members.
    ZQI_ErrorReportSink partial = {nullptr, nullptr, nullptr};
    ZQI_SetErrorReportSink(&partial);
    EXPECT_FALSE(ZQI_GetErrorReportSink().isDeveloperMode());
    EXPECT_NE(nullptr, ZQI_GetErrorReportSink().log);
}
