// Shared pieces of the GUI tests: the offscreen application, a prompter that
// answers message boxes from a script and remembers them, waits that keep the
// event loop turning, and printer records.
#pragma once

#include "TestSupport.h"
#include "common/Printer.h"
#include "gui/app/Prompter.h"

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexguitest {

// Runs the event loop until the condition holds or the deadline passes.
bool WaitForUi(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Runs the action once a modal dialog of the type is up and shown (polled
// from the event loop of the dialog's exec).
template <typename TDialog>
void WhenModalOpens(QObject* pOwner, std::function<void(TDialog*)> action) {
    auto* pTimer = new QTimer(pOwner);
    pTimer->setInterval(5);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, action] {
        auto* pDialog = qobject_cast<TDialog*>(QApplication::activeModalWidget());
        if (!pDialog || !pDialog->isVisible())
            return;
        pTimer->stop();
        pTimer->deleteLater();
        action(pDialog);
    });
    pTimer->start();
}

// Answers each box with the next scripted answer (Yes, or OK, when the script
// is used up) and records the message ids shown. Installed for its life.
// The application of a helper process (a test run as another user), offscreen.
class COffscreenApplication {
public:
    COffscreenApplication();

private:
    int m_argc = 1;
    char m_name[7] = "vexgui";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_pApp;
};

class CScriptedPrompter : public CPrompter {
public:
    explicit CScriptedPrompter(std::deque<int> answers = {});
    ~CScriptedPrompter() override;
    int Show(QWidget* pOwner, const SVexMessage& message) override;
    void Answer(int iAnswer) { m_answers.push_back(iAnswer); }
    std::vector<uint32_t> Shown() const { return m_shown; }
    const std::vector<SVexMessage>& Messages() const { return m_messages; }
    // Called inside Show, with the box "open".
    std::function<void(const SVexMessage&)> m_onShow;

private:
    std::deque<int> m_answers;
    std::vector<uint32_t> m_shown;
    std::vector<SVexMessage> m_messages;
};

// A private system root laid for the GUI: working directory, English drivers
// package, the spooler running, and the given printers in the list file.
class CGuiRoot {
public:
    CGuiRoot();
    ~CGuiRoot();
    const vextest::TempRoot& Root() const { return *m_pRoot; }
    void WriteList(const std::vector<CPrinter>& printers) const;
    std::string KplPath() const;

private:
    std::unique_ptr<vextest::TempRoot> m_pRoot;
};

CPrinter MakePrinter(const std::string& csUUID, const std::string& csIp, int32_t iState,
                     const std::string& csHost = "host", const std::string& csModel = "Model 1");

} // namespace vexguitest
