#include <gtest/gtest.h>

#include <fstream>
#include <set>

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

// Each guide explains every message: its text on a line of its own, a length as N.
TEST(Guides, ListEveryMessageOnALineOfItsOwn) {
    for (const char* guide : {"/guide-ja.txt", "/guide-en.txt"}) {
        std::ifstream in(KOVALT_DOCS + std::string(guide));
        std::set<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.insert(line);
        }
        for (int id = 0; id < MESSAGE_COUNT; ++id) {
            std::string text(messageText(static_cast<MessageId>(id)));
            text.pop_back();
            if (const std::size_t at = text.find("%d"); at != std::string::npos) {
                text = text.substr(0, at) + "N" + text.substr(at + 2);
            }
            EXPECT_TRUE(text.empty() || lines.contains(text)) << guide << " lacks " << text;
        }
    }
}

}  // namespace
