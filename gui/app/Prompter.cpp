#include "gui/app/Prompter.h"

#include "common/Trace.h"
#include "gui/app/QtStrings.h"
#include "gui/core/StringIds.h"

#include <QCheckBox>
#include <QMessageBox>

namespace {
CPrompter* g_pPrompter = nullptr;
} // namespace

int CMessageBoxPrompter::Show(QWidget* pOwner, const SVexMessage& message) {
    QMessageBox box(pOwner);
    box.setWindowTitle(VexQString(IDS_APP_TITLE));
    box.setText(QString::fromStdString(message.csText));
    QCheckBox* pCheck = nullptr;
    if (!message.csCheckBox.empty() && message.pbChecked) {
        pCheck = new QCheckBox(QString::fromStdString(message.csCheckBox), &box);
        pCheck->setObjectName("messageCheckBox");
        pCheck->setChecked(*message.pbChecked);
        box.setCheckBox(pCheck);
    }
    switch (message.eIcon) {
    case EMsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case EMsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case EMsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case EMsgIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (message.eButtons == EMsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        const int iAnswer = box.exec() == QMessageBox::Yes ? eAnswerYes : eAnswerNo;
        if (pCheck)
            *message.pbChecked = pCheck->isChecked();
        return iAnswer;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    if (pCheck)
        *message.pbChecked = pCheck->isChecked();
    return eAnswerOk;
}

CPrompter& GetPrompter() {
    static CMessageBoxPrompter boxes;
    return g_pPrompter ? *g_pPrompter : boxes;
}

void SetPrompter(CPrompter* pPrompter) {
    g_pPrompter = pPrompter;
}

int VexMessage(QWidget* pOwner, uint32_t uiId, EMsgButtons eButtons, EMsgIcon eIcon,
               const char* pszRoutine, int iVexNumber) {
    return VexMessageText(pOwner, uiId, LoadVexString(uiId), eButtons, eIcon, pszRoutine,
                          iVexNumber);
}

int VexMessageText(QWidget* pOwner, uint32_t uiId, const std::string& csText, EMsgButtons eButtons,
                   EMsgIcon eIcon, const char* pszRoutine, int iVexNumber) {
    if (pszRoutine && iVexNumber)
        TraceDet("(%s)Message VEX%d displayed to user.", pszRoutine, iVexNumber);
    return GetPrompter().Show(pOwner, SVexMessage{uiId, csText, eButtons, eIcon, {}, nullptr});
}

int VexMessageWithCheckBox(QWidget* pOwner, uint32_t uiId, const std::string& csText,
                           const std::string& csCheckBox, bool* pbChecked, const char* pszRoutine,
                           int iVexNumber) {
    if (pszRoutine && iVexNumber)
        TraceDet("(%s)Message VEX%d displayed to user.", pszRoutine, iVexNumber);
    return GetPrompter().Show(pOwner, SVexMessage{uiId, csText, EMsgButtons::YesNo,
                                                  EMsgIcon::Question, csCheckBox, pbChecked});
}
