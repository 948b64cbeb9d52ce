// The service interfaces a module library (or a built-in module) implements, each after the
// seven BaseImplementation slots, in the slot order the API's sub-tables forward to. Operations
// named OperationN (N the slot position) have no meaning inside the engine: it only forwards
// them, and module libraries give them one. Texts are NUL-terminated; a player is a local
// player index. The leaderboards interface has a header of its own.
#pragma once

#include <cstdint>

#include "services/ExtensionModule.h"
#include "zorqa.h"

// IMPLEMENTATION_CLOUD.
class CloudImplementation : public BaseImplementation {
public:
    // Stores the bytes under the key, replacing an earlier blob of that key.
    virtual void Write(const char* key, const void* data, uint32_t size) = 0;
    // A new buffer (ZQ_CreateBuffer) with a copy of the blob, which the program frees with
    // ZQ_FreeBuffer; null when the key has none.
    virtual zq_buffer_t* Read(const char* key) = 0;
    virtual void Delete(const char* key) = 0;

protected:
    ~CloudImplementation() = default;
};

// IMPLEMENTATION_ACHIEVEMENT.
class AchievementsImplementation : public BaseImplementation {
public:
    virtual void UnlockAchievement(int32_t player, const char* id) = 0;
    virtual void SetAchievementProgress(int32_t player, const char* id, int32_t progress) = 0;
    virtual bool CanShowAchievements() = 0;
    virtual void ShowAchievements(int32_t player) = 0;
    virtual void Operation11(const char* text, int32_t value) = 0;
    virtual intptr_t Operation12(const char* text) = 0;

protected:
    ~AchievementsImplementation() = default;
};

// IMPLEMENTATION_IAP.
class InAppPurchaseImplementation : public BaseImplementation {
public:
    virtual void RequestItemData(const char* itemList) = 0;
    virtual void PurchaseItem(const char* itemId) = 0;
    virtual void RestorePurchases() = 0;
    virtual bool ShowPurchaseProgress() = 0;

protected:
    ~InAppPurchaseImplementation() = default;
};

// Login states of SocialImplementation::GetLoginState.
enum : int32_t { SOCIAL_LOGGED_OUT = 0, SOCIAL_LOGGED_IN = 2 };

// IMPLEMENTATION_SOCIAL. Results reach the program as events 37 (login) and 38 (friends).
class SocialImplementation : public BaseImplementation {
public:
    virtual void Login() = 0;
    virtual void Logout() = 0;
    virtual int32_t GetLoginState() = 0;
    virtual void SetLocalUserValue(uint32_t value) = 0;
    virtual void RequestFriends() = 0;
    virtual zq_bitmap_t* GetProfilePicture(const char* userId, int32_t size) = 0;

protected:
    ~SocialImplementation() = default;
};

// IMPLEMENTATION_UGC; its availability is BaseImplementation::IsAvailable.
class UGCImplementation : public BaseImplementation {
public:
    virtual void Operation7() = 0;
    virtual bool Operation8() = 0;
    virtual intptr_t Operation9() = 0;
    virtual intptr_t Operation10(int32_t value) = 0;
    virtual void Operation11(void* pointer) = 0;
    virtual void Operation12(void* pointer) = 0;
    virtual intptr_t Operation13(void* pointer) = 0;
    virtual void Operation14() = 0;

protected:
    ~UGCImplementation() = default;
};

// IMPLEMENTATION_NOTIFICATION.
class NotificationImplementation : public BaseImplementation {
public:
    virtual void RegisterForLocalNotifications() = 0;
    virtual void RemoveAllLocalNotifications() = 0;
    virtual void SetLocalNotification(const char* text0, const char* text1, const char* text2,
                                      int32_t value) = 0;

protected:
    ~NotificationImplementation() = default;
};

// IMPLEMENTATION_STATISTIC.
class StatisticImplementation : public BaseImplementation {
public:
    virtual void Operation7(uint32_t value0, uint32_t value1, void* pointer0, void* pointer1) = 0;

protected:
    ~StatisticImplementation() = default;
};
