// CTraceDlg: "Trace Configuration", the trace settings of the service and of
// the GUI. A program's settings can be changed only while its trace is off;
// its off/on buttons stay usable. OK writes what changed and restarts the
// trace of a program whose trace-on setting changed: the GUI's at once, the
// service's through its user control code 130.
#pragma once

#include "gui/core/TraceSettings.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

class CTraceDlg : public QDialog {
    Q_OBJECT
public:
    // The service's control code that restarts its trace.
    static constexpr uint32_t kRestartTraceControl = 130;

    explicit CTraceDlg(QWidget* pParent = nullptr);

    void accept() override;

    // Sends the running service the control that restarts its trace. Failures
    // are traced, not shown.
    static bool RestartServiceTrace();

private:
    // The controls of one program's group.
    struct SGroup {
        eExe exe;
        STraceSettings read;
        QGroupBox* pBox = nullptr;
        QRadioButton* pOff = nullptr;
        QRadioButton* pOn = nullptr;
        std::array<QCheckBox*, kTraceLevelBoxes> levels{};
        QRadioButton* pWrapOff = nullptr;
        QRadioButton* pWrapOn = nullptr;
        QLineEdit* pWrapSize = nullptr;
        QLineEdit* pFile = nullptr;
    };
    // First control id of each row, as in the resources.
    struct SIds {
        int iOff, iOn, iFirstLevel, iWrapOff, iWrapOn, iWrapSize, iFile;
    };

    void BuildGroup(SGroup& group, const char* pszTitle, const SIds& ids);
    void OnInitDialog();
    void Fill(SGroup& group);
    static void EnableControls(SGroup& group, bool bEnable);
    // The settings the controls hold; false (after telling the user) when the
    // wrap size is no whole number.
    bool Edited(SGroup& group, STraceSettings* pSettings);

    SGroup m_service{eExeService, {}};
    SGroup m_gui{eExeGui, {}};
};
