// The preset name dialog: caption, suggestion, the 128-character edit, and a
// long name kept as 127 characters by the preset table.
#include "plugin/dialogs/CPresetNameDialog.h"
#include "view/PresetTable.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

using namespace v3d;

namespace {

TEST(PresetNameDialog, CaptionSuggestionAndButtons)
{
    CPresetNameDialog dialog("preset_4");
    EXPECT_EQ(dialog.windowTitle(), "New Preset Name");
    QLineEdit* edit = dialog.findChild<QLineEdit*>("5027");
    ASSERT_EQ(edit, dialog.nameEdit());
    EXPECT_EQ(dialog.name(), "preset_4");
    QStringList buttons;
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) buttons << b->text();
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Cancel", "OK"}));
}

TEST(PresetNameDialog, EditTakes128CharactersAndTheTableKeeps127)
{
    CPresetNameDialog dialog("");
    dialog.show();
    QLineEdit* edit = dialog.nameEdit();
    edit->setFocus();
    for (int i = 0; i < 130; ++i) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(edit, &key);
    }
    EXPECT_EQ(dialog.name().size(), 128);
    PresetTable table;
    Preset preset;
    preset.setName(dialog.name().toStdString());
    ASSERT_TRUE(table.add(preset));
    EXPECT_EQ(std::string(table.at(0)->name), std::string(127, 'a'));
}

TEST(PresetNameDialog, OkAcceptsAndEscapeCancels)
{
    CPresetNameDialog dialog("x");
    dialog.show();
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == "OK") b->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    CPresetNameDialog other("y");
    other.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&other, &escape);
    EXPECT_EQ(other.result(), QDialog::Rejected);
}

}  // namespace
