#include "app/CAboutDlg.h"
#include "app/CNewVersionDlg.h"
#include "app/CSignupDlg.h"
#include "platform/Profile.h"
#include "tests/app/AppTestSupport.h"
#include "util/Config.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using testing_support::ClearProfile;
using testing_support::CModalResponder;
using testing_support::CScopedEnv;
using testing_support::PumpEvents;
using testing_support::UnusedPort;
using testing_support::WaitFor;
using namespace std::chrono_literals;

TEST(SignupCheck, listsEveryFailedCheckInOrderWithThePasswordLast) {
    EXPECT_EQ(CSignupDlg::CheckForm("kim_lee-2", "pw", "pw", "k@x.org"), "");
    EXPECT_EQ(CSignupDlg::CheckForm("", "one", "two", "a@b.c"),
              "You did passwords don't match.\nYou did not enter a valid email.\n"
              "You did not enter a username.\n");
    EXPECT_EQ(CSignupDlg::CheckForm("kim lee", "pw", "pw", "k@x.org"),
              "You username cannot contain special characters or spaces.\n");
    EXPECT_EQ(CSignupDlg::CheckForm("a!b?c", "pw", "pw", "k@x.org"),
              "You username cannot contain special characters or spaces.\n");
    EXPECT_EQ(CSignupDlg::CheckForm(std::string(21, 'a'), "pw", "pw", "k@x.org"),
              "You username must be 20 characters or less.\n");
    EXPECT_EQ(CSignupDlg::CheckForm("kim", "", "", "k@x.org"), "You did not enter a password.\n");
    EXPECT_EQ(CSignupDlg::CheckForm("kim", "pw", "pw", "k@x.org"), "");
    EXPECT_EQ(CSignupDlg::CheckForm("kim", "pw", "pw", "k@x.or"),
              "You did not enter a valid email.\n");
    EXPECT_EQ(CSignupDlg::CheckForm("kim", "pw", "pw", "kx.orgs"),
              "You did not enter a valid email.\n");
}

class SignupDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearProfile();
        m_dlg.show();
    }
    QLineEdit* Edit(const char* pszName) { return m_dlg.findChild<QLineEdit*>(pszName); }
    std::string Status() { return m_dlg.findChild<QLabel*>("status")->text().toStdString(); }
    void Fill(const char* pszUser, const char* pszPassword, const char* pszPassword2,
              const char* pszEmail) {
        Edit("username")->setText(pszUser);
        Edit("password")->setText(pszPassword);
        Edit("password2")->setText(pszPassword2);
        Edit("email")->setText(pszEmail);
    }
    void PressOk() { m_dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); }
    void Post(const std::string& strCode, const std::string& strText) {
        PostAppEvent(m_dlg.Handle(), UM_SIGNUP_RESULT, MakeParam(strCode), MakeParam(strText));
        PumpEvents(20ms);
    }

    CScopedEnv m_noService{"VOCALON_SERVICE_HOST", "127.0.0.1:" + std::to_string(UnusedPort())};
    CSignupDlg m_dlg;
};

TEST_F(SignupDlgTest, formErrorsShowOneBoxAndSendNothing) {
    Fill("", "one", "two", "a@b.c");
    CModalResponder responder(CModalResponder::Close);
    PressOk();
    ASSERT_TRUE(responder.WaitSeen());
    EXPECT_EQ(responder.Text(),
              "You did passwords don't match.\nYou did not enter a valid email.\n"
              "You did not enter a username.\n");
    EXPECT_EQ(Status(), "Vocalon v2.0");
}

TEST_F(SignupDlgTest, validFormSendsLowerCaseNameAndKeepsTheDialogOpen) {
    Fill("Kim_Lee-2", "Secret", "Secret", "Kim@Example.org");
    m_dlg.findChild<QCheckBox*>("firewall")->setChecked(true);
    PressOk();
    EXPECT_EQ(Status(), "Connecting with server...");
    EXPECT_EQ(Edit("username")->text(), "kim_lee-2");
    EXPECT_EQ(Edit("password")->text(), "Secret");
    EXPECT_EQ(GetProfileInt("Prefs", "has_firewall", 0), 1);
    EXPECT_TRUE(m_dlg.isVisible());
    // The service is unreachable: nothing comes back and the dialog keeps waiting.
    PumpEvents(200ms);
    EXPECT_EQ(Status(), "Connecting with server...");
    EXPECT_TRUE(m_dlg.isVisible());
}

TEST_F(SignupDlgTest, refusalsShowTheTextAndSuccessClosesWithTheAccount) {
    Fill("Kim", "pw", "pw", "kim@example.org");
    PressOk();
    for (const char* pszCode : {"1001", "1002", "-1"}) {
        Edit("email")->setFocus();
        Post(pszCode, std::string("refused ") + pszCode);
        EXPECT_EQ(Status(), std::string("refused ") + pszCode);
        EXPECT_EQ(m_dlg.focusWidget(), Edit("username"));
    }
    Post("1003", "ignored");
    EXPECT_EQ(Status(), "refused -1");
    EXPECT_TRUE(m_dlg.isVisible());

    Post("0", "Created");
    EXPECT_FALSE(m_dlg.isVisible());
    EXPECT_EQ(m_dlg.result(), QDialog::Accepted);
    EXPECT_EQ(m_dlg.UserName(), "kim");
    EXPECT_EQ(m_dlg.Password(), "pw");
}

TEST_F(SignupDlgTest, twentyFirstCharacterIsRefusedWithAMessage) {
    Edit("username")->setText(QString(20, 'a'));
    Edit("username")->setFocus();
    CModalResponder responder(CModalResponder::Close);
    QTest::keyClick(Edit("username"), Qt::Key_B);
    ASSERT_TRUE(responder.WaitSeen());
    EXPECT_EQ(responder.Text(), "A username can only be 8 characters with no spaces.");
    EXPECT_EQ(Edit("username")->text(), QString(20, 'a'));
}

TEST_F(SignupDlgTest, firewallBoxStartsFromTheSetting) {
    WriteProfileInt("Prefs", "has_firewall", 1);
    CSignupDlg dlg;
    EXPECT_TRUE(dlg.findChild<QCheckBox*>("firewall")->isChecked());
}

TEST(SignupThroughService, resultOfARealRegistrationArrives) {
    CLocalService service;
    ASSERT_TRUE(service.Running());
    ASSERT_TRUE(service.Register("taken", "pw"));
    CSignupDlg dlg;
    dlg.show();
    dlg.findChild<QLineEdit*>("username")->setText("Taken");
    dlg.findChild<QLineEdit*>("password")->setText("pw");
    dlg.findChild<QLineEdit*>("password2")->setText("pw");
    dlg.findChild<QLineEdit*>("email")->setText("t@example.org");
    dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QLabel* pStatus = dlg.findChild<QLabel*>("status");
    ASSERT_TRUE(WaitFor([&] { return pStatus->text() != "Connecting with server..."; }));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(pStatus->text().isEmpty());

    dlg.findChild<QLineEdit*>("username")->setText("Fresh");
    dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return !dlg.isVisible(); }));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.UserName(), "fresh");
}

TEST(NewVersionDlg, buttonsEndItAndOneSilencesTheQuestion) {
    ClearProfile();
    struct Case {
        const char* pszButton;
        int nResult;
        int nSilenced;
    } cases[] = {{"download", QDialog::Accepted, 0},
                 {"later", QDialog::Rejected, 0},
                 {"never", QDialog::Rejected, 1}};
    for (const Case& c : cases) {
        CNewVersionDlg dlg;
        dlg.show();
        dlg.findChild<QPushButton*>(c.pszButton)->click();
        EXPECT_EQ(dlg.result(), c.nResult) << c.pszButton;
        EXPECT_EQ(GetProfileInt("Prefs", "do_not_bother_me", 0), c.nSilenced) << c.pszButton;
    }
}

TEST(AboutDlg, showsTheBuildTextAndTheSiteButton) {
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "About us");
    EXPECT_EQ(dlg.findChild<QPushButton*>("visit")->text().toStdString(),
              "Visit " + ProductWebSite());
    auto* pText = dlg.findChild<QPlainTextEdit*>("text");
    EXPECT_TRUE(pText->isReadOnly());
    EXPECT_TRUE(pText->toPlainText().startsWith("Vocalon v2.0"));
}
