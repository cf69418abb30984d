#include "run_tool.h"

#include "console.h"
#include "messages.h"
#include "save_file.h"
#include "save_image.h"

namespace {

void say(MessageId id) { printText(id, messageText(id)); }

int fail() {
    waitForKey();
    return 1;
}

void sayWithLength(MessageId id, std::int64_t length) {
    printText(id, messageWithLength(id, length));
}

// Prints the refusal for an input that did not load. A save held open for writing is
// reported as one that cannot be opened, as Windows itself refuses it; one that changed
// while read, by the length it had then.
void reportLoadFailure(const LoadOutcome& outcome) {
    switch (outcome.kind) {
        case LoadKind::NotFound:
        case LoadKind::Locked:
            say(MSG_NOT_FOUND);
            break;
        case LoadKind::TooLarge:
            sayWithLength(MSG_TOO_LARGE, outcome.length);
            break;
        case LoadKind::WrongSize:
            sayWithLength(MSG_WRONG_SIZE, outcome.length);
            break;
        case LoadKind::Changed:
            sayWithLength(outcome.length > static_cast<std::int64_t>(kSaveImageSize)
                              ? MSG_TOO_LARGE
                              : MSG_WRONG_SIZE,
                          outcome.length);
            break;
        case LoadKind::Loaded:
            break;
    }
}

// Checks both copies, saying whether they passed.
bool checkCopies(const SaveImage& image) {
    const bool valid = copiesValid(image);
    say(valid ? MSG_CHECKSUM_OK : MSG_CHECKSUM_ERROR);
    return valid;
}

}  // namespace

void waitForKey() {
    say(MSG_PRESS_ANY_KEY);
    readKeyPress(messageText(MSG_PRESS_ANY_KEY));
}

int runTool() {
    static SaveImage image;

    say(MSG_BANNER);
    say(MSG_SUBTITLE);
    say(MSG_BLANK);

    const LoadOutcome loaded = loadSaveFile(image);
    if (loaded.kind != LoadKind::Loaded) {
        reportLoadFailure(loaded);
        return fail();
    }
    say(MSG_LOADED);
    say(MSG_CHECKING);
    if (!checkCopies(image)) {
        return fail();
    }

    say(MSG_CHANGING);
    clearResetState(image);
    say(MSG_RECALCULATING);
    resealCopy(image, 1);
    resealCopy(image, 2);
    if (!checkCopies(image)) {
        return fail();
    }

    say(MSG_WRITING);
    if (!writeOutputFile(image, loaded.input)) {
        say(MSG_WRITE_FAILED);
        return fail();
    }
    say(MSG_FINISHED);
    waitForKey();
    return 0;
}
