#include "file_errors.h"

namespace {

constexpr unsigned long kAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr unsigned long kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr unsigned long kLockViolation = 33;     // ERROR_LOCK_VIOLATION
constexpr unsigned long kFileExists = 80;        // ERROR_FILE_EXISTS, CREATE_NEW's answer
constexpr unsigned long kLongestPause = 512;

}  // namespace

unsigned long pauseBeforeRetry(unsigned long error, unsigned long lastPause) {
    const bool held =
        error == kAccessDenied || error == kSharingViolation || error == kLockViolation;
    if (!held || lastPause >= kLongestPause) {
        return 0;
    }
    return lastPause == 0 ? 1 : lastPause * 2;
}

bool nameTakenBy(unsigned long error) { return error == kFileExists; }
