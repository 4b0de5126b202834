#pragma once
// "Vexel 3D Setup": the settings of one 3D window's view. Check boxes act at
// once through the view's SetupTarget; Done reads the edits, hands the
// settings back and has them saved; Escape and the close box read and save
// nothing (check boxes already toggled stay toggled).

#include "view/Preferences.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;

namespace v3d {

// The dialog shows and edits the view's preferences.
using SetupSettings = Preferences;

// Control identifiers of dialog 5001; each control's objectName is its
// number.
enum SetupControl {
    SETUP_SHADOWS_PERSP = 5014,
    SETUP_SHADOWS_PAR = 5015,
    SETUP_FLOOD_BOUND = 5016,
    SETUP_OPQ_ON_SSD = 5017,
    SETUP_INVERT_MOUSE = 5023,
    SETUP_SEG_LOW = 5024,
    SETUP_SEG_HIGH = 5025,
    SETUP_SEG_RAD = 5026,
    SETUP_WIREFRAME = 5027,
    SETUP_SPEED_X = 5028,
    SETUP_SPEED_Y = 5029,
    SETUP_NO_TUMBLE = 5030,
    SETUP_CLEAR_PRESETS = 5031,
    SETUP_FACTORY_PRESETS = 5032,
    SETUP_DONE = 1,
};

// What the dialog asks of the view while it is open.
class SetupTarget {
public:
    virtual ~SetupTarget() = default;
    // A check box changed `settings` (already updated): apply it now.
    // Repaint for 5014, 5015, 5017, 5027; none for 5016 and 5023; for 5030
    // switched on, look along the current viewing direction again and
    // repaint, switched off, leave the camera alone.
    virtual void settingToggled(SetupControl control, const SetupSettings& settings) = 0;
    virtual int presetCount() const = 0;
    // Deletes preset `index` with its menu items (renumbering the rest).
    virtual void deletePreset(int index) = 0;
    // Adds the factory presets and their menu items (or says why not).
    virtual void addFactoryPresets() = 0;
    // Done: take every setting and write the profile.
    virtual void saveSettings(const SetupSettings& settings) = 0;
};

class CV3DSetupDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 5001;

    CV3DSetupDialog(const SetupSettings& settings, SetupTarget& target, QWidget* parent = nullptr);

    const SetupSettings& settings() const { return m_settings; }

protected:
    // Done: the edits are read; an invalid number keeps the dialog open.
    void accept() override;
    // The message about an edit that holds no valid number.
    virtual void showInvalidNumber(const QString& text);

private:
    void widenToFitTexts();
    QCheckBox* addCheck(SetupControl id, const char* text, bool checked);
    QLineEdit* addEdit(SetupControl id, const QString& text);
    void toggled(SetupControl id, bool checked);
    void clearAllPresets();

    SetupSettings m_settings;
    SetupTarget& m_target;
    QLineEdit* m_speedX = nullptr;
    QLineEdit* m_speedY = nullptr;
    QLineEdit* m_segLow = nullptr;
    QLineEdit* m_segHigh = nullptr;
    QLineEdit* m_segRad = nullptr;
};

// Numbers as the edits accept them: optional blanks around a decimal
// integer, or around a decimal number with an optional exponent. False for
// anything else (nothing is changed then).
bool parseSetupInt(const QString& text, int& value);
bool parseSetupFloat(const QString& text, float& value);

}  // namespace v3d
