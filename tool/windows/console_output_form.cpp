#include "console_output_form.h"

namespace {

constexpr unsigned kShiftJisCodePage = 932;

}  // namespace

OutputForm chooseOutputForm(bool stdoutIsConsole, unsigned codePage) {
    if (!stdoutIsConsole) {
        return OutputForm::ShiftJisStream;
    }
    // The tool never changes the console's code page: it writes in whatever shows.
    return codePage == kShiftJisCodePage ? OutputForm::ShiftJisConsole : OutputForm::Utf16Console;
}
