#include <gtest/gtest.h>

#include "messages.h"
#include "windows/console_output_form.h"
#include "windows/utf16.h"

namespace {

TEST(ConsoleOutputForm, ShiftJisUnlessAConsoleShowsAnotherCodePage) {
    // Redirected: the bytes, whatever code page the console may have.
    EXPECT_EQ(chooseOutputForm(false, 932), OutputForm::ShiftJisStream);
    EXPECT_EQ(chooseOutputForm(false, 437), OutputForm::ShiftJisStream);
    EXPECT_EQ(chooseOutputForm(false, 0), OutputForm::ShiftJisStream);
    EXPECT_EQ(chooseOutputForm(true, 932), OutputForm::ShiftJisConsole);
    for (const unsigned other : {437u, 850u, 1252u, 65001u, 936u, 0u}) {
        EXPECT_EQ(chooseOutputForm(true, other), OutputForm::Utf16Console) << other;
    }
}

TEST(Utf16, CatalogueTextsKeepTheirCharacters) {
    EXPECT_EQ(toUtf16(messageText(MSG_SUBTITLE)), u" - モップルキンをリセットします -\n");
    EXPECT_EQ(toUtf16(messageText(MSG_PRESS_ANY_KEY)), u"[ 何かキーを押して下さい ]\n");
}

}  // namespace
