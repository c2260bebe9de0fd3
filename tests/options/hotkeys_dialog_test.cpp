#include "options/hotkeys_dialog.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "dialog_driver.h"

#include <gtest/gtest.h>

namespace {
constexpr int kF1 = 0, kF7 = 6, kF8 = 7, kF9 = 8, kZero = 47, kNumpad0 = 48, kAlt = 58;

class HotkeysTest : public testing::Test {
protected:
    void SetUp() override
    {
        AppSettings& s = Settings();
        s.keyRecordStart = VK_F7;
        s.keyRecordEnd = VK_F8;
        s.keyRecordCancel = VK_F9;
        AnsweredBoxes().clear();
    }

    static void Run(const std::function<void(HWND)>& script)
    {
        DriveModal("Hotkeys", [] { CHotkeysDialog::Run(nullptr); }, script);
    }
};
} // namespace

TEST_F(HotkeysTest, AKeyOfAnotherRoleIsRefusedAndTheChoiceUndone)
{
    struct Case {
        int list, position, undoneTo;
        const char* message;
    };
    const Case cases[] = {
        {IDC_KEY_RECORDPAUSE, kF8, kF7, "Framelark|This key is used by the Stop Key"},
        {IDC_KEY_RECORDPAUSE, kF9, kF7, "Framelark|This key is used by the Cancel Key"},
        {IDC_KEY_STOP, kF7, kF8, "Framelark|This key is used by the Record/Pause Key"},
        {IDC_KEY_STOP, kF9, kF8, "Framelark|This key is used by the Cancel Key"},
        {IDC_KEY_CANCEL, kF7, kF9, "Framelark|This key is used by the Record/Pause Key"},
        {IDC_KEY_CANCEL, kF8, kF9, "Framelark|This key is used by the Stop Key"},
    };
    Run([&](HWND d) {
        EXPECT_EQ(ChosenEntry(d, IDC_KEY_RECORDPAUSE), kF7);
        EXPECT_EQ(ChosenEntry(d, IDC_KEY_STOP), kF8);
        EXPECT_EQ(ChosenEntry(d, IDC_KEY_CANCEL), kF9);
        EXPECT_EQ(SendDlgItemMessageA(d, IDC_KEY_CANCEL, CB_GETCOUNT, 0, 0), 69);
        for (const Case& c : cases) {
            AnsweredBoxes().clear();
            ChooseEntry(d, c.list, c.position);
            ASSERT_EQ(AnsweredBoxes().size(), 1u) << c.message;
            EXPECT_EQ(AnsweredBoxes()[0], c.message);
            EXPECT_EQ(ChosenEntry(d, c.list), c.undoneTo) << c.message;
        }
        // The list's own key again: no message.
        AnsweredBoxes().clear();
        ChooseEntry(d, IDC_KEY_STOP, kF8);
        EXPECT_TRUE(AnsweredBoxes().empty());
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(Settings().keyRecordStart, VK_F7);
    EXPECT_EQ(Settings().keyRecordEnd, VK_F8);
    EXPECT_EQ(Settings().keyRecordCancel, VK_F9);
}

TEST_F(HotkeysTest, TabOrderFollowsTheLayout)
{
    Run([](HWND d) {
        EXPECT_EQ(TabOrder(d), (std::vector<int>{IDC_KEY_RECORDPAUSE, IDC_KEY_STOP, IDC_KEY_CANCEL, IDOK, IDCANCEL}));
        ClickButton(d, IDCANCEL);
    });
}

TEST_F(HotkeysTest, OKStoresTheChosenCodesAndCancelNothing)
{
    Run([](HWND d) {
        ChooseEntry(d, IDC_KEY_RECORDPAUSE, kZero);
        ChooseEntry(d, IDC_KEY_STOP, kNumpad0);
        ChooseEntry(d, IDC_KEY_CANCEL, kAlt);
        // A freed key can now be taken by another role.
        ChooseEntry(d, IDC_KEY_CANCEL, kF7);
        ClickButton(d, IDOK);
    });
    EXPECT_TRUE(AnsweredBoxes().empty());
    EXPECT_EQ(Settings().keyRecordStart, 48);
    EXPECT_EQ(Settings().keyRecordEnd, 96);
    EXPECT_EQ(Settings().keyRecordCancel, VK_F7);

    Run([](HWND d) {
        ChooseEntry(d, IDC_KEY_STOP, kF1);
        ClickButton(d, IDCANCEL);
    });
    EXPECT_EQ(Settings().keyRecordEnd, 96);
}

TEST_F(HotkeysTest, AStoredCodeOutsideTheListShowsAsF1AndSurvivesOK)
{
    Settings().keyRecordStart = 200;
    Settings().keyRecordEnd = VK_F1;
    Run([](HWND d) {
        EXPECT_EQ(ChosenEntry(d, IDC_KEY_RECORDPAUSE), kF1);
        EXPECT_EQ(ChosenEntry(d, IDC_KEY_STOP), kF1);
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(Settings().keyRecordStart, 200);
    EXPECT_EQ(Settings().keyRecordEnd, VK_F1);
}
