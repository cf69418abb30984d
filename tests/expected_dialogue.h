#pragma once

#include <string>

// What a user reads, written out here rather than taken from the catalogue.
inline const std::string kOpening =
    "<< Kovalt.exe   Hoshizora-Kotori Mopplekin Reset program >>>\n"
    " - モップルキンをリセットします -\n"
    "\n";

inline const std::string kPrompt = "[ 何かキーを押して下さい ]\n";

inline const std::string kNotFound = "Error: ファイルが見つかりません (savedata.sav)\n";

// A run with a valid save, up to writing the output.
inline const std::string kUpToWriting =
    "ファイルを読み込みました\n"
    "チェックサムをチェックします\n"
    "チェックサムが正しいことを確認しました\n"
    "データを変更します\n"
    "チェックサムを再計算します\n"
    "チェックサムが正しいことを確認しました\n"
    "ファイル(ouput.sav)に出力します\n";

inline const std::string kCompleteRun = kUpToWriting + "終了しました\n";

// Each line feed as CR LF: what a terminal shows, and what a Windows text stream writes.
inline std::string withCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}
