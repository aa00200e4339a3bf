// Saving the stored frames from the window; see export_frames.h.
#include "export_frames.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QListView>
#include <QSaveFile>
#include <array>
#include <memory>
#include <ostream>
#include <streambuf>

#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "core/missing_frames.h"
#include "ui/chart/parameter_graph.h"

namespace quilmar {
namespace {

struct FormatFilter {
  TableFormat format;
  const char* filter;
  const char* suffix;
};

constexpr FormatFilter kFormatFilters[] = {
    {TableFormat::kCsv, "CSV Files (*.csv)", "csv"},
    {TableFormat::kJson, "JSON Files (*.json)", "json"},
};

const FormatFilter& FilterOf(TableFormat format) {
  return format == TableFormat::kJson ? kFormatFilters[1] : kFormatFilters[0];
}

// The writers stream into a std::ostream; a JSON export of a log whose frame numbers jump
// back and forth lists hundreds of millions of missing frames, so it goes to the file in
// pieces rather than through one string in memory.
class DeviceStreamBuffer : public std::streambuf {
 public:
  explicit DeviceStreamBuffer(QIODevice& device) : device(device) {
    setp(buffer.data(), buffer.data() + buffer.size());
  }

 protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) {
      return traits_type::eof();
    }
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    const qint64 size = pptr() - pbase();
    if (size > 0 && device.write(pbase(), size) != size) {
      return false;
    }
    setp(buffer.data(), buffer.data() + buffer.size());
    return true;
  }

  QIODevice& device;
  std::array<char, 1 << 16> buffer{};
};

QString FailureText(const QString& path, const QString& reason) {
  return QStringLiteral("The frames could not be exported to %1:\n%2").arg(path, reason);
}

std::optional<ExportChoice> ChooseExportFileInDialog(QWidget* parent, const ExportOffer& offer) {
  QFileDialog dialog(parent, QStringLiteral("Export"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // Qt's own dialog takes the range check box below its controls.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  QStringList filters;
  for (const FormatFilter& filter : kFormatFilters) {
    filters << QLatin1String(filter.filter);
  }
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QLatin1String(kFormatFilters[0].suffix));
  // The dialog adds the suffix before it asks about replacing a file, so the question is
  // about the file that will be written.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
    for (const FormatFilter& filter : kFormatFilters) {
      if (f == QLatin1String(filter.filter)) {
        dialog.setDefaultSuffix(QLatin1String(filter.suffix));
      }
    }
  });
  dialog.selectFile(offer.suggestedPath);
  QCheckBox* rangeOnly = nullptr;
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()); grid && offer.range) {
    rangeOnly = new QCheckBox(offer.rangeCaption, &dialog);
    rangeOnly->setObjectName(QStringLiteral("ExportRangeOnly"));
    rangeOnly->setChecked(true);
    grid->addWidget(rangeOnly, grid->rowCount(), 0, 1, -1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  ExportChoice choice;
  choice.path = dialog.selectedFiles().constFirst();
  choice.format =
      dialog.selectedNameFilter() == filters[1] ? TableFormat::kJson : TableFormat::kCsv;
  choice.rangeOnly = rangeOnly != nullptr && rangeOnly->isChecked();
  return choice;
}

// The selected position of a range list, 0-based; -1 when nothing is selected.
int SelectedPosition(const QListView* list) {
  const QModelIndexList rows = list->selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.first().row();
}

}  // namespace

QString WithFormatSuffix(const QString& path, TableFormat format) {
  const QString suffix = QLatin1Char('.') + QLatin1String(FilterOf(format).suffix);
  return path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix;
}

bool WriteFramesFile(const QString& path, TableFormat format, const std::string& logName,
                     const FrameTable& table, const LoadSummary& summary, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = FailureText(path, file.errorString());
    return false;
  }
  DeviceStreamBuffer buffer(file);
  std::ostream out(&buffer);
  const bool written =
      format == TableFormat::kJson ? WriteJson(out, logName, table, summary) : WriteCsv(out, table);
  if (!written) {
    // The temporary file goes with the QSaveFile; the target is left as it was.
    *error = FailureText(path, file.errorString());
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    *error = FailureText(path, file.errorString());
    return false;
  }
  return true;
}

FrameExporter::FrameExporter(QWidget* window, const FrameTable& table,
                             const GraphRangeControls& range)
    : QObject(window),
      window(window),
      table(table),
      rangeControls(range),
      action(new QAction(QStringLiteral("Export..."), this)),
      choose(&ChooseExportFileInDialog) {
  action->setObjectName(QStringLiteral("MenuFileExport"));
  connect(action, &QAction::triggered, this, &FrameExporter::Export);
  UpdateAction();
}

void FrameExporter::LogLoaded(const QString& path, const LoadSummary& summary) {
  logPath = path;
  loadSummary = summary;
  logLoaded = summary.error.empty();
  UpdateAction();
}

void FrameExporter::SetLoading(bool on) {
  loading = on;
  UpdateAction();
}

void FrameExporter::UpdateAction() { action->setEnabled(logLoaded && !loading); }

ExportOffer FrameExporter::Offer() const {
  ExportOffer offer;
  const QFileInfo log(logPath);
  offer.suggestedPath = log.dir().filePath(log.completeBaseName() + QStringLiteral(".csv"));
  const int from = SelectedPosition(rangeControls.FirstFrameList());
  const int to = SelectedPosition(rangeControls.LastFrameList());
  if (rangeControls.CheckBox()->isChecked() && from >= 0 && from <= to && table.IsCurrent(to + 1)) {
    offer.range = FrameRange{from + 1, to + 1};
    offer.rangeCaption = QStringLiteral("Only frames %1 to %2")
                             .arg(table.Record(from + 1).frameNumber)
                             .arg(table.Record(to + 1).frameNumber);
  }
  return offer;
}

void FrameExporter::Export() {
  if (!action->isEnabled()) {
    return;
  }
  const ExportOffer offer = Offer();
  const std::optional<ExportChoice> choice = choose(window, offer);
  if (!choice || choice->path.isEmpty()) {
    return;
  }
  const QString path = WithFormatSuffix(choice->path, choice->format);
  QString error;
  const bool written =
      choice->rangeOnly && offer.range
          ? WriteRange(path, choice->format, *offer.range, &error)
          : WriteFramesFile(path, choice->format, QFile::encodeName(logPath).toStdString(), table,
                            loadSummary, &error);
  if (!written && reportFailure) {
    reportFailure(error);
  }
}

// The range as a log of its own: its frames numbered from 1, the frames missing between
// them, and none skipped.
bool FrameExporter::WriteRange(const QString& path, TableFormat format, FrameRange range,
                               QString* error) const {
  // 5000 records with their texts: too large for the stack.
  const auto part = std::make_unique<FrameTable>();
  for (int f = range.first; f <= range.last; ++f) {
    part->Record(f - range.first + 1) = table.Record(f);
  }
  part->frameCount = range.last - range.first + 1;
  LoadSummary summary;
  summary.framesStored = part->frameCount;
  summary.missingFrames = FindMissingFrames(*part);
  return WriteFramesFile(path, format, QFile::encodeName(logPath).toStdString(), *part, summary,
                         error);
}

}  // namespace quilmar
