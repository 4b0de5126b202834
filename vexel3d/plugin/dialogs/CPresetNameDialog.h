#pragma once
// "New Preset Name": one edit for the name of a preset about to be added,
// with OK and Cancel.

#include <QDialog>
#include <QString>

class QLineEdit;

namespace v3d {

class CPresetNameDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 5021;
    static constexpr int kNameEditId = 5027;
    // The edit takes at most this many characters.
    static constexpr int kMaxNameLength = 128;

    CPresetNameDialog(const QString& suggestion, QWidget* parent = nullptr);

    // The name as it stands in the edit.
    QString name() const;
    QLineEdit* nameEdit() const { return m_edit; }

private:
    QLineEdit* m_edit = nullptr;
};

}  // namespace v3d
