#include "plugin/dialogs/CPresetNameDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace v3d {

CPresetNameDialog::CPresetNameDialog(const QString& suggestion, QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::number(kDialogId));
    setWindowTitle("New Preset Name");
    setModal(true);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QString::number(kNameEditId));
    m_edit->setMaxLength(kMaxNameLength);
    m_edit->setText(suggestion);
    m_edit->selectAll();
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("OK", QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
}

QString CPresetNameDialog::name() const
{
    return m_edit->text();
}

}  // namespace v3d
