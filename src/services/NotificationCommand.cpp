// Named extension calls that reach the notification implementation and the modules: the fields
// of "SetLocalNotification" and the offer of every call to the modules in list order.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "services/ExtensionModules.h"

namespace {

const int32_t kNotificationFieldCount = 4;
// A field this long or longer is dropped (null).
const size_t kMaximumFieldLength = 1024;
// The integer of the last field when the text has no such field.
const int32_t kMissingValueField = 5;

// The ';'-separated fields 0 to 3 of a parameter text. Field k is the text after the k-th ';'
// up to the next one. A field the text does not reach is null, except when the text ends right
// after a ';': the fields after it are then empty.
struct NotificationFields {
    char text[kNotificationFieldCount][kMaximumFieldLength];
    bool present[kNotificationFieldCount];

    const char* Field(int32_t k) const { return present[k] ? text[k] : nullptr; }
};

void SplitNotificationFields(const char* parameters, NotificationFields* fields) {
    memset(fields->present, 0, sizeof(fields->present));
    if (parameters == nullptr) {
        return;
    }
    const char* start = parameters;
    int32_t k = 0;
    for (; k < kNotificationFieldCount; ++k) {
        const char* end = strchr(start, ';');
        size_t length = end != nullptr ? static_cast<size_t>(end - start) : strlen(start);
        if (length < kMaximumFieldLength) {
            memcpy(fields->text[k], start, length);
            fields->text[k][length] = '\0';
            fields->present[k] = true;
        }
        if (end == nullptr) {
            break;
        }
        start = end + 1;
    }
    // The loop stopped at the last field the text holds; a text ending in ';' holds an empty
    // one there, and the fields after it read empty too.
    bool endsWithSeparator = parameters[0] != '\0' && parameters[strlen(parameters) - 1] == ';';
    for (int32_t rest = k + 1; rest < kNotificationFieldCount && endsWithSeparator; ++rest) {
        fields->text[rest][0] = '\0';
        fields->present[rest] = true;
    }
}

int32_t ReadValueField(const char* field) {
    if (field == nullptr) {
        return kMissingValueField;
    }
    long value = strtol(field, nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

void SetLocalNotification(NotificationImplementation* notification, const char* parameters) {
    // Four fields of up to 1 KB each: too much for every thread's stack.
    NotificationFields* fields = static_cast<NotificationFields*>(malloc(sizeof(NotificationFields)));
    if (fields == nullptr) {
        ZQ_Log(LOG_LEVEL_ERROR,
               "CallNotificationCommand: out of memory; SetLocalNotification not passed on.");
        return;
    }
    SplitNotificationFields(parameters, fields);
    notification->SetLocalNotification(fields->Field(0), fields->Field(1), fields->Field(2),
                                       ReadValueField(fields->Field(3)));
    free(fields);
}

}  // namespace

const char* CallNotificationCommand(const char* command, const char* parameters) {
    NotificationImplementation* notification = ZQI_GetNotificationImplementation();
    if (notification != nullptr && command != nullptr) {
        if (strcmp(command, "SetLocalNotification") == 0) {
            SetLocalNotification(notification, parameters);
        } else if (strcmp(command, "RemoveAllLocalNotifications") == 0) {
            notification->RemoveAllLocalNotifications();
        }
    }
    for (ExtensionModule* module : ZQI_GetExtensionModules()) {
        const char* answer = module->Call(command, parameters);
        if (answer != nullptr) {
            return answer;
        }
    }
    return nullptr;
}
