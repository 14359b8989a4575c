// A message box as the program describes it: the string shown, its buttons
// and icon, and the answers. Shown by the prompter (gui/app/Prompter.h).
#pragma once

#include <cstdint>
#include <string>

enum class EMsgButtons { Ok, YesNo };
enum class EMsgIcon { Information, Question, Exclamation, Stop };
// The answers, numbered as the platform's message boxes number them.
enum EMsgAnswer { eAnswerOk = 1, eAnswerYes = 6, eAnswerNo = 7 };

struct SVexMessage {
    uint32_t uiId;      // string id of the message
    std::string csText; // the text shown (the string, formatted where it has places)
    EMsgButtons eButtons;
    EMsgIcon eIcon;
    // A check box under the text, when csCheckBox is not empty: shown with
    // *pbChecked and written back to it when the box closes.
    std::string csCheckBox;
    bool* pbChecked = nullptr;
};
