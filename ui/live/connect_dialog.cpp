// The Connect to TNC dialog; see connect_dialog.h.
#include "connect_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "archive_password.h"
#include "live_archiving.h"
#include "ui/look/look.h"

namespace quilmar {
namespace {

// Direwolf's KISS TCP port; soundmodem and others are a port number away.
constexpr char kDefaultHost[] = "localhost";
constexpr int kDefaultPort = 8001;
constexpr int kBaudRates[] = {1200, 4800, 9600, 19200, 38400, 57600, 115200};

constexpr char kKindKey[] = "live/kind";
constexpr char kHostKey[] = "live/host";
constexpr char kPortKey[] = "live/port";
constexpr char kSerialPortKey[] = "live/serialPort";
constexpr char kBaudRateKey[] = "live/baudRate";
constexpr char kFolderKey[] = "live/recordingFolder";

QString Key(const char* key) { return QLatin1String(key); }

QString RecordingFolder() {
  QString folder = OpenUserSettings()->value(Key(kFolderKey)).toString();
  if (folder.isEmpty() || !QDir(folder).exists()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  }
  if (folder.isEmpty() || !QDir(folder).exists()) {
    folder = QDir::homePath();
  }
  return folder;
}

QWidget* Row(QWidget* parent, std::initializer_list<QWidget*> widgets, int stretchIndex) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  int i = 0;
  for (QWidget* widget : widgets) {
    layout->addWidget(widget, i++ == stretchIndex ? 1 : 0);
  }
  return row;
}

}  // namespace

QString RecordingFileName(const QDateTime& start) {
  return start.toUTC().toString(QStringLiteral("'QUILMAR-1 'yyyy-MM-dd HHmmss'Z.kss'"));
}

QString DefaultRecordingPath(const QDateTime& start) {
  return QDir(RecordingFolder()).filePath(RecordingFileName(start));
}

void RememberedArchiving(LiveChoice& choice, const SettingsOpener& archiveStore) {
  const auto store = archiveStore();
  choice.addToArchive = store->value(QLatin1String(kArchiveLiveFramesKey), false).toBool();
  choice.station = store->value(QLatin1String(kArchiveStationKey)).toString();
}

ConnectDialog::ConnectDialog(QWidget* parent, SettingsOpener archiveStore)
    : QDialog(parent), archiveStore(std::move(archiveStore)) {
  setObjectName(QStringLiteral("ConnectDialog"));
  setWindowTitle(QStringLiteral("Connect to TNC"));
  Build();
  LoadLastChoices();
  ShowKind();
}

ConnectDialog::~ConnectDialog() = default;

void ConnectDialog::Build() {
  tcpChoice = new QRadioButton(QStringLiteral("KISS over TCP"), this);
  hostEdit = new QLineEdit(this);
  // A plain text field: a spin box would quietly turn 0 into the last port and 70000 into
  // 7000, where the operator needs to hear what is wrong.
  portEdit = new QLineEdit(this);
  portEdit->setMaximumWidth(portEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
  serialChoice = new QRadioButton(QStringLiteral("Serial port"), this);
  serialPortBox = new QComboBox(this);
  serialPortBox->setEditable(true);
  for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
    serialPortBox->addItem(port.systemLocation());
  }
  baudRateBox = new QComboBox(this);
  baudRateBox->setEditable(true);
  for (int rate : kBaudRates) {
    baudRateBox->addItem(QString::number(rate));
  }
  folderEdit = new QLineEdit(this);
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  connect(browse, &QPushButton::clicked, this, &ConnectDialog::ChooseFolder);
  fileNameEdit = new QLineEdit(RecordingFileName(QDateTime::currentDateTimeUtc()), this);
  problem = new QLabel(this);
  problem->setWordWrap(true);
  SetPaletteColour(problem, QPalette::WindowText, QColor(192, 0, 0));

  auto* form = new QFormLayout;
  form->addRow(tcpChoice);
  form->addRow(QStringLiteral("Host:"),
               Row(this, {hostEdit, new QLabel(QStringLiteral("Port:")), portEdit}, 0));
  form->addRow(serialChoice);
  form->addRow(QStringLiteral("Device:"),
               Row(this, {serialPortBox, new QLabel(QStringLiteral("Baud:")), baudRateBox}, 0));
  form->addRow(QStringLiteral("Record to folder:"), Row(this, {folderEdit, browse}, 0));
  form->addRow(QStringLiteral("File name:"), fileNameEdit);
  BuildArchiveRows(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Connect"));
  connect(buttons, &QDialogButtonBox::accepted, this, &ConnectDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ConnectDialog::reject);
  connect(tcpChoice, &QRadioButton::toggled, this, &ConnectDialog::ShowKind);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(problem);
  layout->addWidget(buttons);
  hostEdit->setObjectName(QStringLiteral("Host"));
  portEdit->setObjectName(QStringLiteral("Port"));
  tcpChoice->setObjectName(QStringLiteral("TcpChoice"));
  serialChoice->setObjectName(QStringLiteral("SerialChoice"));
  serialPortBox->setObjectName(QStringLiteral("SerialPort"));
  baudRateBox->setObjectName(QStringLiteral("BaudRate"));
  folderEdit->setObjectName(QStringLiteral("RecordingFolder"));
  fileNameEdit->setObjectName(QStringLiteral("RecordingFileName"));
  problem->setObjectName(QStringLiteral("Problem"));
}

void ConnectDialog::BuildArchiveRows(QFormLayout* form) {
  addToArchive = new QCheckBox(QStringLiteral("Add received frames to the archive"), this);
  addToArchive->setObjectName(QStringLiteral("AddToArchive"));
  archiveName = new QLabel(this);
  archiveName->setObjectName(QStringLiteral("ArchiveName"));
  archiveName->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long path or URL must not widen the dialog past the screen.
  archiveName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  stationEdit = new QLineEdit(this);
  stationEdit->setObjectName(QStringLiteral("Station"));
  stationEdit->setPlaceholderText(QStringLiteral("callsign of this station"));
  form->addRow(addToArchive);
  form->addRow(QStringLiteral("Archive:"), archiveName);
  form->addRow(QStringLiteral("Station:"), stationEdit);
  connect(addToArchive, &QCheckBox::toggled, stationEdit, &QLineEdit::setEnabled);
}

void ConnectDialog::LoadLastChoices() {
  const auto settings = OpenUserSettings();
  const bool serial = settings->value(Key(kKindKey)).toString() == QLatin1String("serial");
  (serial ? serialChoice : tcpChoice)->setChecked(true);
  hostEdit->setText(settings->value(Key(kHostKey), QLatin1String(kDefaultHost)).toString());
  portEdit->setText(QString::number(settings->value(Key(kPortKey), kDefaultPort).toInt()));
  const QString device = settings->value(Key(kSerialPortKey)).toString();
  if (!device.isEmpty()) {
    serialPortBox->setCurrentText(device);
  }
  baudRateBox->setCurrentText(settings->value(Key(kBaudRateKey), kDefaultBaudRate).toString());
  folderEdit->setText(QDir::toNativeSeparators(RecordingFolder()));
  const auto store = archiveStore();
  addToArchive->setChecked(store->value(QLatin1String(kArchiveLiveFramesKey), false).toBool());
  stationEdit->setEnabled(addToArchive->isChecked());
  stationEdit->setText(store->value(QLatin1String(kArchiveStationKey)).toString());
  // The archive the window reads, as Archive > Open Archive... chose it.
  const QString archive = ArchiveTextIn(*store);
  QString error;
  const std::optional<ArchiveLocation> location = ParseArchiveLocation(archive, error);
  archiveName->setText(location ? location->display : WithoutArchivePassword(archive));
  archiveName->setToolTip(archiveName->text());
}

void ConnectDialog::SaveChoices() const {
  const auto settings = OpenUserSettings();
  const bool serial = choice.address.kind == TncAddress::Kind::kSerial;
  settings->setValue(Key(kKindKey), serial ? QStringLiteral("serial") : QStringLiteral("tcp"));
  if (serial) {
    settings->setValue(Key(kSerialPortKey), choice.address.device);
    settings->setValue(Key(kBaudRateKey), choice.address.baudRate);
  } else {
    settings->setValue(Key(kHostKey), choice.address.host);
    settings->setValue(Key(kPortKey), choice.address.port);
  }
  settings->setValue(Key(kFolderKey), QDir::fromNativeSeparators(folderEdit->text().trimmed()));
  const auto store = archiveStore();
  store->setValue(QLatin1String(kArchiveLiveFramesKey), choice.addToArchive);
  if (choice.addToArchive) {
    store->setValue(QLatin1String(kArchiveStationKey), choice.station);
  }
}

void ConnectDialog::ChooseFolder() {
  const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Record to folder"),
                                                           folderEdit->text());
  if (!folder.isEmpty()) {
    folderEdit->setText(QDir::toNativeSeparators(folder));
  }
}

void ConnectDialog::ShowKind() {
  const bool tcp = tcpChoice->isChecked();
  hostEdit->setEnabled(tcp);
  portEdit->setEnabled(tcp);
  serialPortBox->setEnabled(!tcp);
  baudRateBox->setEnabled(!tcp);
}

bool ConnectDialog::ReadHostAndPort(TncAddress& address) {
  const QString host = hostEdit->text().trimmed();
  address.host = host;
  // An IPv6 address may be typed with its brackets, as in an address text.
  if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
    address.host = host.mid(1, host.size() - 2);
  }
  if (address.host.isEmpty()) {
    problem->setText(QStringLiteral("Enter the host the TNC serves KISS on."));
    return false;
  }
  // One colon is a port typed into the host ("localhost:8001"); an IPv6 address has several.
  if (host.count(QLatin1Char(':')) == 1 || address.host.contains(QLatin1Char('['))) {
    problem->setText(QStringLiteral("'%1' is not a host: enter the host alone and the port in "
                                    "the Port field.")
                         .arg(host));
    return false;
  }
  const QString port = portEdit->text().trimmed();
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
  const int number = digits.match(port).hasMatch() ? port.toInt() : 0;
  if (number < 1 || number > 65535) {
    problem->setText(
        QStringLiteral("The port must be a number from 1 to 65535, not '%1'.").arg(port));
    return false;
  }
  address.port = static_cast<quint16>(number);
  return true;
}

bool ConnectDialog::ReadChoice() {
  TncAddress address;
  if (tcpChoice->isChecked()) {
    if (!ReadHostAndPort(address)) {
      return false;
    }
  } else {
    address.kind = TncAddress::Kind::kSerial;
    address.device = serialPortBox->currentText().trimmed();
    bool number = false;
    address.baudRate = baudRateBox->currentText().trimmed().toInt(&number);
    if (address.device.isEmpty()) {
      problem->setText(QStringLiteral("Enter the serial device of the TNC."));
      return false;
    }
    if (!number || address.baudRate <= 0) {
      problem->setText(QStringLiteral("The baud rate must be a positive number."));
      return false;
    }
  }
  const QString folder = QDir::fromNativeSeparators(folderEdit->text().trimmed());
  const QString fileName = fileNameEdit->text().trimmed();
  if (folder.isEmpty() || fileName.isEmpty()) {
    problem->setText(QStringLiteral("Enter the folder and the file name of the recording."));
    return false;
  }
  choice.address = address;
  choice.recordingPath = QDir(folder).filePath(fileName);
  return ReadArchiving();
}

bool ConnectDialog::ReadArchiving() {
  choice.addToArchive = addToArchive->isChecked();
  choice.station = stationEdit->text().trimmed();
  if (!choice.addToArchive) {
    return true;
  }
  if (choice.station.isEmpty()) {
    problem->setText(
        QStringLiteral("Enter the callsign of this station: the archive keeps it "
                       "with every frame received."));
    return false;
  }
  QString error;
  if (!ParseArchiveLocation(ArchiveTextIn(*archiveStore()), error)) {
    problem->setText(QStringLiteral("The archive cannot be used (%1): choose another with "
                                    "Archive > Open Archive...")
                         .arg(error));
    return false;
  }
  return true;
}

void ConnectDialog::accept() {
  if (!ReadChoice()) {
    return;
  }
  SaveChoices();
  QDialog::accept();
}

}  // namespace quilmar
