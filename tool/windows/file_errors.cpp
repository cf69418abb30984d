#include "file_errors.h"

namespace {

constexpr unsigned long kAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr unsigned long kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr unsigned long kLockViolation = 33;     // ERROR_LOCK_VIOLATION
constexpr unsigned long kFileExists = 80;        // ERROR_FILE_EXISTS, CREATE_NEW's answer

}  // namespace

bool heldForAMoment(unsigned long error) {
    return error == kAccessDenied || error == kSharingViolation || error == kLockViolation;
}

bool nameTakenBy(unsigned long error) { return error == kFileExists; }
