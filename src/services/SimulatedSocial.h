// The simulated social network (feature word SIMULATED_SOCIAL): a fixed local user and ten
// friends, logged in at once, answering through events 37 (login) and 38 (friends). The users
// are made at the first login and kept; their values are drawn once, from the services'
// per-thread generator.
#pragma once

#include "foundation/Array.h"
#include "foundation/String.h"
#include "services/ServiceInterfaces.h"

struct NamedMutex;

// A user of the simulated network: numeric id in decimal, name, and the value friends are
// ordered by.
struct SocialUser {
    String id;
    String name;
    uint32_t value;
};

class SimulatedSocialImplementation final : public SocialImplementation {
public:
    SimulatedSocialImplementation();
    ~SimulatedSocialImplementation();

    void Destroy(uint32_t flags) override { ZQI_DestroyEngineObject(this, flags); }
    ImplementationType GetType() override { return IMPLEMENTATION_SOCIAL; }
    const char* GetName() override { return "Simulated"; }
    // Logged out, the mutex "SocialImplementation" made, no local user yet.
    bool Initialize() override;

    // From logged out only: logs in (making the users the first time) and posts event 37.
    void Login() override;
    void Logout() override;
    int32_t GetLoginState() override;
    // Stored in the local user; nothing before the first login.
    void SetLocalUserValue(uint32_t value) override;
    // Logged in only: posts event 38 with every user, the largest value first.
    void RequestFriends() override;
    // Loads the user's picture from the network's picture address as a bitmap (null while bitmap
    // loading is not available).
    zq_bitmap_t* GetProfilePicture(const char* userId, int32_t size) override;

private:
    bool CreateUsers();
    void ReleaseUsers();

    NamedMutex* mutex_;
    int32_t state_;
    SocialUser* localUser_;
    Array<SocialUser*> users_;  // the local user first, then the friends
};
