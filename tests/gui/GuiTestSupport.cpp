#include "GuiTestSupport.h"

#include "TestService.h"
#include "common/Printers.h"
#include "common/VexData.h"

#include <QApplication>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>

namespace vexguitest {

namespace {
// One offscreen application for the whole test program.
class CGuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "test_gui";
        static char* argv[] = {name, nullptr};
        m_pApp = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete m_pApp;
        m_pApp = nullptr;
    }

private:
    QApplication* m_pApp = nullptr;
};
[[maybe_unused]] ::testing::Environment* const g_pEnvironment =
    ::testing::AddGlobalTestEnvironment(new CGuiEnvironment);
} // namespace

COffscreenApplication::COffscreenApplication() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    m_pApp = std::make_unique<QApplication>(m_argc, m_argv);
}

bool WaitForUi(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::yieldCurrentThread();
    }
    return true;
}

CScriptedPrompter::CScriptedPrompter(std::deque<int> answers) : m_answers(std::move(answers)) {
    SetPrompter(this);
}

CScriptedPrompter::~CScriptedPrompter() {
    SetPrompter(nullptr);
}

int CScriptedPrompter::Show(QWidget*, const SVexMessage& message) {
    m_shown.push_back(message.uiId);
    m_messages.push_back(message);
    if (m_onShow)
        m_onShow(message);
    int iAnswer = message.eButtons == EMsgButtons::YesNo ? eAnswerYes : eAnswerOk;
    if (!m_answers.empty()) {
        iAnswer = m_answers.front();
        m_answers.pop_front();
    }
    return iAnswer;
}

CGuiRoot::CGuiRoot() : m_pRoot(std::make_unique<vextest::TempRoot>()) {
    ::setenv("VEX_DELAY_PERCENT", "1", 1);
    m_pRoot->SetUpWorkDir();
    CVexData().AddNumData(CVexData::kMainKey, "Language", 1);
    vextest::StartSpoolerService();
}

CGuiRoot::~CGuiRoot() {
    ::unsetenv("VEX_DELAY_PERCENT");
}

std::string CGuiRoot::KplPath() const {
    return m_pRoot->WorkDir() + CVexData().GetKplFile();
}

void CGuiRoot::WriteList(const std::vector<CPrinter>& printers) const {
    CPrinters list;
    list.SetKplPath(KplPath());
    for (const CPrinter& printer : printers)
        list.Add(printer);
    list.Write();
}

CPrinter MakePrinter(const std::string& csUUID, const std::string& csIp, int32_t iState,
                     const std::string& csHost, const std::string& csModel) {
    CPrinter printer;
    printer.m_csUUID = csUUID;
    printer.m_csIpAddr = csIp;
    printer.m_csHostName = csHost;
    printer.m_csPrinterModel = csModel;
    printer.m_csMicrocodeLevel = "1.0";
    printer.m_VexState = iState;
    printer.m_uiPrtConfig1Var = PRT_CONFIG1_CAN_PRINT_MASK;
    return printer;
}

} // namespace vexguitest
