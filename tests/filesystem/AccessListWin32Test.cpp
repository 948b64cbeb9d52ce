// Windows only: folders of the shared user schemes carry an access list that grants Everyone
// full access, inherited by what is made inside; other folders keep default security.
#if defined(_WIN32)
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "filesystem/NativePlatform.h"

namespace {

// True when the folder's own access list allows Everyone full access, inherited by sub-folders
// and files.
bool GrantsEveryoneFullAccess(const std::string& path) {
    PACL accessList = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &accessList, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    bool granted = false;
    for (DWORD i = 0; accessList != nullptr && i < accessList->AceCount && !granted; ++i) {
        ACCESS_ALLOWED_ACE* entry = nullptr;
        if (!GetAce(accessList, i, reinterpret_cast<void**>(&entry)) ||
            entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;
        }
        bool inherits = (entry->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) ==
                        (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        bool full = (entry->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS || (entry->Mask & GENERIC_ALL) != 0;
        granted = inherits && full && EqualSid(reinterpret_cast<PSID>(&entry->SidStart), everyone);
    }
    FreeSid(everyone);
    LocalFree(descriptor);
    return granted;
}

// Wine makes every folder with its own default access list and ignores the one it is given
// (measured with Wine 8), so the grant can only be checked on Windows itself.
bool IsRunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

TEST(AccessListTest, SharedFoldersGrantEveryoneFullAccess) {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error) / "zq-fs-acl-test";
    std::filesystem::remove_all(base, error);
    ASSERT_TRUE(std::filesystem::create_directory(base, error));
    std::string shared = (base / "shared").generic_string();
    std::string plain = (base / "plain").generic_string();
    EXPECT_EQ(NATIVE_FOLDER_CREATED, ZQI_NativeMakeFolder(shared.c_str(), true));
    EXPECT_EQ(NATIVE_FOLDER_EXISTS, ZQI_NativeMakeFolder(shared.c_str(), true));
    EXPECT_EQ(NATIVE_FOLDER_CREATED, ZQI_NativeMakeFolder(plain.c_str(), false));
    bool wine = IsRunningUnderWine();
    if (!wine) {
        EXPECT_TRUE(GrantsEveryoneFullAccess(shared));
        EXPECT_FALSE(GrantsEveryoneFullAccess(plain));
    }
    std::filesystem::remove_all(base, error);
    if (wine) {
        GTEST_SKIP() << "Wine ignores the access list given to CreateDirectory";
    }
}
#endif
