#include "CollabSessionDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace quarvia {

CollabSessionDialog::CollabSessionDialog(Mode mode, QWidget* parent) : QDialog(parent), m_mode(mode) {
    setWindowTitle(mode == Mode::Host ? "Host a Collaboration Session" : "Join a Collaboration Session");
    auto* form = new QFormLayout(this);
    m_address = new QLineEdit(mode == Mode::Host ? "127.0.0.1" : "", this);
    m_address->setPlaceholderText(mode == Mode::Host ? "address to listen on" : "host:port");
    form->addRow(mode == Mode::Host ? "&Address:" : "&Session at:", m_address);
    if (mode == Mode::Host) {
        m_port = new QSpinBox(this);
        m_port->setRange(1, 65535);
        m_port->setValue(kDefaultPort);
        form->addRow("&Port:", m_port);
    }
    auto* keyRow = new QHBoxLayout;
    m_keyFile = new QLineEdit(this);
    m_keyFile->setPlaceholderText("none: loopback only, no encryption");
    auto* browse = new QPushButton("&Browse...", this);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, "Session key file");
        if (!file.isEmpty()) m_keyFile->setText(file);
    });
    keyRow->addWidget(m_keyFile);
    keyRow->addWidget(browse);
    form->addRow("Session &key file:", keyRow);
    auto* note = new QLabel("With a key, the session is encrypted and only hosts that know the key take part; "
                            "without one, only this machine can join.",
                            this);
    note->setWordWrap(true);
    form->addRow(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(mode == Mode::Host ? "&Host" : "&Join");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QString CollabSessionDialog::endpoint() const {
    const QString address = m_address->text().trimmed();
    if (m_mode == Mode::Join) return address;
    const QString port = QString::number(m_port->value());
    if (address.isEmpty()) return port;
    return (address.contains(':') ? "[" + address + "]" : address) + ":" + port;
}

QString CollabSessionDialog::keyFile() const { return m_keyFile->text().trimmed(); }

void CollabSessionDialog::answer(const QMap<QString, QString>& fields) {
    if (fields.contains("address")) m_address->setText(fields["address"]);
    if (m_port && fields.contains("port")) m_port->setValue(fields["port"].toInt());
    if (fields.contains("key-file")) m_keyFile->setText(fields["key-file"]);
    accept();
}

}  // namespace quarvia
