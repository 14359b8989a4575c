// Every message box of the program goes through one prompter, so that tests
// can answer the boxes and see which message was shown.
#pragma once

#include "gui/core/VexMessage.h"

#include <cstdint>
#include <string>

class QWidget;

class CPrompter {
public:
    virtual ~CPrompter() = default;
    // Shows the message and returns the answer.
    virtual int Show(QWidget* pOwner, const SVexMessage& message) = 0;
};

// Message boxes of the platform, captioned with the application title (57344).
class CMessageBoxPrompter : public CPrompter {
public:
    int Show(QWidget* pOwner, const SVexMessage& message) override;
};

// The program's prompter; a CMessageBoxPrompter unless one was installed.
// SetPrompter(nullptr) goes back to it.
CPrompter& GetPrompter();
void SetPrompter(CPrompter* pPrompter);

// Shows string uiId. With a routine and a VEX number, first writes the detail
// trace line "(ROUTINE)Message VEXnnn displayed to user.".
int VexMessage(QWidget* pOwner, uint32_t uiId, EMsgButtons eButtons, EMsgIcon eIcon,
               const char* pszRoutine = nullptr, int iVexNumber = 0);
// The same with a text made by the caller (a formatted string uiId).
int VexMessageText(QWidget* pOwner, uint32_t uiId, const std::string& csText, EMsgButtons eButtons,
                   EMsgIcon eIcon, const char* pszRoutine = nullptr, int iVexNumber = 0);
// A question with a check box (its label csCheckBox, its value in *pbChecked).
int VexMessageWithCheckBox(QWidget* pOwner, uint32_t uiId, const std::string& csText,
                           const std::string& csCheckBox, bool* pbChecked, const char* pszRoutine,
                           int iVexNumber);
