// The setup dialog: its texts, check boxes acting at once, Done reading the
// edits and saving, Escape and the close box saving nothing, an invalid
// number keeping it open, and the preset buttons on a real preset table.
#include "plugin/dialogs/CV3DSetupDialog.h"
#include "view/PresetTable.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <vector>

using namespace v3d;

namespace {

// A view stand-in that keeps what the dialog asked for, with a real table.
class RecordingTarget : public SetupTarget {
public:
    void settingToggled(SetupControl control, const SetupSettings& settings) override
    {
        toggles.push_back(control);
        current = settings;
    }
    int presetCount() const override { return presets.m_iNumOfPresets; }
    void deletePreset(int index) override
    {
        deletions.push_back(index);
        presets.deletePreset(index);
    }
    void addFactoryPresets() override { presets.addFactoryPresets(); }
    void saveSettings(const SetupSettings& settings) override
    {
        ++saves;
        saved = settings;
    }

    std::vector<SetupControl> toggles;
    std::vector<int> deletions;
    SetupSettings current;
    SetupSettings saved;
    int saves = 0;
    PresetTable presets;
};

// Records the message instead of showing a box.
class TestSetupDialog : public CV3DSetupDialog {
public:
    using CV3DSetupDialog::CV3DSetupDialog;
    std::vector<QString> messages;

protected:
    void showInvalidNumber(const QString& text) override { messages.push_back(text); }
};

template <class W>
W* control(QWidget& dialog, int id)
{
    return dialog.findChild<W*>(QString::number(id));
}

void pressKey(QWidget& widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
}

TEST(SetupDialog, EveryControlWithItsText)
{
    RecordingTarget target;
    TestSetupDialog dialog(SetupSettings{}, target);
    EXPECT_EQ(dialog.windowTitle(), "Vexel 3D Setup");
    const std::pair<int, const char*> checks[] = {
        {5014, "Depth-shadowing in perspective projection "},
        {5015, "Depth-shadowing in parallel projection"},
        {5017, "Project greyscale cross-sections to cutplanes"},
        {5023, "Invert Y axis"},
        {5030, "Constrain rotation DOF (\"No tumbling mode\")"},
        {5016, "Flood-fill constrained by cutplanes"},
        {5027, "Highlight edges"},
    };
    for (const auto& [id, text] : checks) {
        QCheckBox* box = control<QCheckBox>(dialog, id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(box->text().toStdString(), text) << id;
    }
    for (int id : {5024, 5025, 5026, 5028, 5029})
        EXPECT_NE(control<QLineEdit>(dialog, id), nullptr) << id;
    EXPECT_EQ(control<QPushButton>(dialog, 5031)->text(), "Clear All");
    EXPECT_EQ(control<QPushButton>(dialog, 5032)->text(), "Add Facory Preset(s)");
    QPushButton* done = control<QPushButton>(dialog, 1);
    EXPECT_EQ(done->text(), "Done");
    EXPECT_TRUE(done->isDefault());

    std::vector<std::string> labels;
    for (QLabel* l : dialog.findChildren<QLabel*>()) labels.push_back(l->text().toStdString());
    for (const char* text : {"Speed X:", "%", "Y:", "    FloodLow               FloodHigh           FloodRadius"})
        EXPECT_NE(std::find(labels.begin(), labels.end(), text), labels.end()) << text;
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "%"), 2);
    std::vector<std::string> groups;
    for (QGroupBox* g : dialog.findChildren<QGroupBox*>()) groups.push_back(g->title().toStdString());
    std::sort(groups.begin(), groups.end());
    EXPECT_EQ(groups, (std::vector<std::string>{"Misc", "Mouse", "Presets", "SSD", "Segmentation"}));
}

TEST(SetupDialog, EveryTextFitsItsControlWhateverTheFont)
{
    RecordingTarget target;
    for (int points : {9, 12, 16}) {
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
        TestSetupDialog dialog(SetupSettings{}, target);
        for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
            EXPECT_GE(b->width(), b->sizeHint().width()) << points << "pt: " << b->text().toStdString();
        for (QLabel* l : dialog.findChildren<QLabel*>())
            EXPECT_GE(l->width(), l->sizeHint().width()) << points << "pt: " << l->text().toStdString();
    }
}

TEST(SetupDialog, OpensWithTheViewsValues)
{
    SetupSettings s;
    s.shadowsPersp = false;
    s.shadowsPar = true;
    s.invertMouse = -1;
    s.noTumble = true;
    s.mouseSpeedX = 120.5f;
    s.mouseSpeedY = 80.0f;
    s.segLow = -500;
    s.segHigh = 2500;
    s.segRad = 77;
    RecordingTarget target;
    TestSetupDialog dialog(s, target);
    EXPECT_FALSE(control<QCheckBox>(dialog, 5014)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(dialog, 5015)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(dialog, 5023)->isChecked()) << "ticked when negative";
    EXPECT_TRUE(control<QCheckBox>(dialog, 5030)->isChecked());
    EXPECT_EQ(control<QLineEdit>(dialog, 5028)->text(), "120.5");
    EXPECT_EQ(control<QLineEdit>(dialog, 5029)->text(), "80");
    EXPECT_EQ(control<QLineEdit>(dialog, 5024)->text(), "-500");
    EXPECT_EQ(control<QLineEdit>(dialog, 5025)->text(), "2500");
    EXPECT_EQ(control<QLineEdit>(dialog, 5026)->text(), "77");
    EXPECT_TRUE(target.toggles.empty()) << "opening applies nothing";
}

TEST(SetupDialog, CheckBoxesActAtOnceAndInvertTwiceRestoresTheSign)
{
    SetupSettings s;
    s.invertMouse = 3;
    s.noTumble = false;
    RecordingTarget target;
    TestSetupDialog dialog(s, target);
    dialog.show();
    control<QCheckBox>(dialog, 5023)->click();
    EXPECT_EQ(target.current.invertMouse, -3);
    control<QCheckBox>(dialog, 5023)->click();
    EXPECT_EQ(target.current.invertMouse, 3);
    control<QCheckBox>(dialog, 5016)->click();
    EXPECT_TRUE(target.current.floodBound);
    control<QCheckBox>(dialog, 5030)->click();
    EXPECT_TRUE(target.current.noTumble);
    control<QCheckBox>(dialog, 5030)->click();
    EXPECT_FALSE(target.current.noTumble);
    EXPECT_EQ(target.toggles, (std::vector<SetupControl>{SETUP_INVERT_MOUSE, SETUP_INVERT_MOUSE, SETUP_FLOOD_BOUND,
                                                        SETUP_NO_TUMBLE, SETUP_NO_TUMBLE}));
    EXPECT_EQ(target.saves, 0) << "nothing is saved before Done";
}

TEST(SetupDialog, DoneReadsTheEditsAndSavesOnce)
{
    RecordingTarget target;
    SetupSettings s;
    s.wireframe = false;
    TestSetupDialog dialog(s, target);
    dialog.show();
    control<QCheckBox>(dialog, 5027)->click();
    control<QLineEdit>(dialog, 5028)->setText(" 150.25 ");
    control<QLineEdit>(dialog, 5029)->setText("1e2");
    control<QLineEdit>(dialog, 5024)->setText("-700");
    control<QLineEdit>(dialog, 5025)->setText("+1800");
    control<QLineEdit>(dialog, 5026)->setText("42");
    control<QPushButton>(dialog, 1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(target.saves, 1);
    EXPECT_EQ(target.saved.mouseSpeedX, 150.25f);
    EXPECT_EQ(target.saved.mouseSpeedY, 100.0f);
    EXPECT_EQ(target.saved.segLow, -700);
    EXPECT_EQ(target.saved.segHigh, 1800);
    EXPECT_EQ(target.saved.segRad, 42);
    EXPECT_TRUE(target.saved.wireframe);
}

TEST(SetupDialog, EscapeAndTheCloseBoxReadAndSaveNothing)
{
    for (bool escape : {true, false}) {
        RecordingTarget target;
        SetupSettings s;
        s.shadowsPersp = false;
        TestSetupDialog dialog(s, target);
        dialog.show();
        control<QCheckBox>(dialog, 5014)->click();
        control<QLineEdit>(dialog, 5024)->setText("-1");
        if (escape)
            pressKey(dialog, Qt::Key_Escape);
        else
            dialog.close();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(target.saves, 0);
        EXPECT_EQ(dialog.settings().segLow, -1000) << "the edit was not read";
        EXPECT_TRUE(target.current.shadowsPersp) << "the toggle already applied stays";
    }
}

TEST(SetupDialog, InvalidNumberKeepsTheDialogOpenWithAMessage)
{
    RecordingTarget target;
    TestSetupDialog dialog(SetupSettings{}, target);
    dialog.show();
    control<QLineEdit>(dialog, 5028)->setText("12abc");
    control<QPushButton>(dialog, 1)->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(target.saves, 0);
    ASSERT_EQ(dialog.messages.size(), 1u);
    EXPECT_EQ(dialog.messages[0], "Please enter a number.");

    control<QLineEdit>(dialog, 5028)->setText("90");
    control<QLineEdit>(dialog, 5026)->setText("4.5");
    control<QPushButton>(dialog, 1)->click();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(dialog.messages.size(), 2u);
    EXPECT_EQ(dialog.messages[1], "Please enter an integer.");
    EXPECT_EQ(dialog.settings().mouseSpeedX, 100.0f) << "nothing is taken from a refused Done";

    for (const char* bad : {"", " ", "99999999999", "1 2", "0x10"}) {
        control<QLineEdit>(dialog, 5026)->setText(bad);
        control<QPushButton>(dialog, 1)->click();
        EXPECT_TRUE(dialog.isVisible()) << bad;
    }
    EXPECT_EQ(target.saves, 0);
}

TEST(SetupDialog, ClearAllDeletesTheFirstPresetOncePerPresetAndFactoryAddsTheMissingOnes)
{
    RecordingTarget target;
    TestSetupDialog dialog(SetupSettings{}, target);
    control<QPushButton>(dialog, 5031)->click();
    EXPECT_TRUE(target.deletions.empty()) << "nothing to clear";

    control<QPushButton>(dialog, 5032)->click();
    EXPECT_EQ(target.presets.m_iNumOfPresets, 4);
    control<QPushButton>(dialog, 5032)->click();
    EXPECT_EQ(target.presets.m_iNumOfPresets, 4) << "the four are there: no copies";
    target.presets.deletePreset(1);
    control<QPushButton>(dialog, 5032)->click();
    EXPECT_EQ(target.presets.m_iNumOfPresets, 4) << "the missing one back";

    control<QPushButton>(dialog, 5031)->click();
    EXPECT_EQ(target.deletions, std::vector<int>(4, 0));
    EXPECT_EQ(target.presets.m_iNumOfPresets, 0);
}

}  // namespace
