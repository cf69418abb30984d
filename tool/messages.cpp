#include "messages.h"

#include <array>

namespace {

// Indexed by MessageId. "ouput.sav" is the tool's own long-standing spelling.
constexpr std::array<std::string_view, MESSAGE_COUNT> kTexts = {
    "<< Kovalt.exe   Hoshizora-Kotori Mopplekin Reset program >>>\n",
    " - モップルキンをリセットします -\n",
    "\n",
    "Error: ファイルが見つかりません (savedata.sav)\n",
    "Error: ファイルが大き過ぎです (%d)\n",
    "Error: ファイルサイズが違います (%d)\n",
    "ファイルを読み込みました\n",
    "チェックサムをチェックします\n",
    "チェックサムが正しいことを確認しました\n",
    "Error: チェックサムエラー, データが間違っています\n",
    "データを変更します\n",
    "チェックサムを再計算します\n",
    "ファイル(ouput.sav)に出力します\n",
    "終了しました\n",
    "Error: ファイルに出力できません (output.sav)\n",
    "[ 何かキーを押して下さい ]\n",
};

}  // namespace

std::string_view messageText(MessageId id) { return kTexts[id]; }

std::string messageWithLength(MessageId id, std::int64_t length) {
    std::string text(messageText(id));
    const std::size_t at = text.find("%d");
    if (at != std::string::npos) {
        text.replace(at, 2, std::to_string(length));
    }
    return text;
}
