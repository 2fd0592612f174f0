#include "files/ConfigFiles.h"

#include "app/MessageBoxes.h"
#include "app/Workbench.h"
#include "config/ConfigModel.h"
#include "files/GridEditing.h"
#include "files/LumatrixFile.h"
#include "files/QuorvaneFile.h"
#include "link/OperationUi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace files {
namespace {

const char* const FileErrorTitle = "File error";
constexpr qint64 MaxFileSize = 1 << 20;

struct FileKind {
    bool lumatrix;
    const char* extension;
    const char* filter;
};

FileKind fileKind(const config::ConfigModel& model) {
    if (model.instrumentKind == config::InstrumentKind::Lumatrix)
        return {true, ".lmx", " Lumatrix Configuration File (*.lmx)|*.lmx|"};
    return {false, ".xml", " Quorvane Configuration File (*.xml)|*.xml|"};
}

void tell(devlink::OperationUi& ui, const QString& text, devlink::Icon icon = devlink::Icon::Exclamation) {
    ui.message(text.toStdString(), FileErrorTitle, icon, devlink::Buttons::Ok);
}

QString withExtension(const QString& path, const FileKind& kind) {
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1String(kind.extension) : path;
}

// Access refused: the file may not be replaced or the folder written to. Earlier programs met
// this mostly as a file held open by another program, and users know it by that message.
bool accessRefused(const QString& path) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    return (file.exists() && !file.isWritable()) || (folder.exists() && !folder.isWritable());
}

// The whole file or, on any failure, the old one untouched; the reason when it failed.
QString writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return {};
    const QString reason = file.errorString();
    file.cancelWriting();
    return reason.isEmpty() ? QStringLiteral("the file could not be written") : reason;
}

} // namespace

void saveConfiguration(app::Workbench& bench) {
    devlink::OperationUi& ui = bench.ui();
    const config::ConfigModel& model = bench.model();
    const FileKind kind = fileKind(model);
    const devlink::CalendarTime today = ui.now();
    const std::string chosen =
        ui.chooseFile({devlink::FileRequest::Mode::Save, "Save configuration file", kind.filter,
                       "config_" + std::to_string(today.day) + "_" + std::to_string(today.month) + "_" +
                           std::to_string(today.year),
                       app::proposedFolder().toStdString()});
    if (chosen.empty())
        return;
    const QString typed = QString::fromStdString(chosen);
    const QString path = withExtension(typed, kind);
    // The dialog asked about replacing the name as typed, not the one with the extension added.
    if (path != typed && QFileInfo::exists(path) &&
        ui.message(QStringLiteral("%1 already exists.\nDo you want to replace it?")
                       .arg(QDir::toNativeSeparators(path))
                       .toStdString(),
                   "Save configuration file", devlink::Icon::Exclamation, devlink::Buttons::YesNo,
                   devlink::Answer::No) != devlink::Answer::Yes)
        return;

    QByteArray bytes;
    if (kind.lumatrix) {
        bytes = lumatrixFileBytes(model.scales);
    } else {
        // An existing file keeps its element names and extra items; a new one starts from ours.
        Loaded<QDomDocument> document{flowTemplate(), {}};
        if (QFileInfo::exists(path)) {
            QFile old(path);
            if (!old.open(QIODevice::ReadOnly)) {
                if (accessRefused(path))
                    tell(ui, QStringLiteral("File already open!"), devlink::Icon::Information);
                else
                    tell(ui, QStringLiteral("%1 could not be read: %2.")
                                 .arg(QDir::toNativeSeparators(path), old.errorString()));
                return;
            }
            document = parseFlowFile(old.readAll());
        }
        QString problem = document.problem;
        if (problem.isEmpty())
            problem = writeFlowDocument(*document.value, model.channels);
        if (!problem.isEmpty()) {
            tell(ui, QStringLiteral("%1 is not a Quorvane configuration file: %2.\nIt was left as it was; "
                                    "choose another name.")
                         .arg(QDir::toNativeSeparators(path), problem));
            return;
        }
        bytes = flowDocumentBytes(*document.value);
    }

    const QString failure = writeWhole(path, bytes);
    if (failure.isEmpty())
        return;
    if (accessRefused(path))
        tell(ui, QStringLiteral("File already open!"), devlink::Icon::Information);
    else
        tell(ui, QStringLiteral("%1 could not be saved: %2.").arg(QDir::toNativeSeparators(path), failure));
}

void loadConfiguration(app::Workbench& bench) {
    devlink::OperationUi& ui = bench.ui();
    config::ConfigModel& model = bench.model();
    const FileKind kind = fileKind(model);
    const std::string chosen = ui.chooseFile(
        {devlink::FileRequest::Mode::Open, "", kind.filter, "", app::proposedFolder().toStdString()});
    if (chosen.empty())
        return;
    QString path = QString::fromStdString(chosen);
    if (!QFileInfo::exists(path) && QFileInfo::exists(withExtension(path, kind)))
        path = withExtension(path, kind);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        tell(ui, QStringLiteral("%1 could not be read: %2.")
                     .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    // Both kinds of file are a few kilobytes; a big one is something else and is not read whole.
    if (file.size() > MaxFileSize) {
        tell(ui, QStringLiteral(
                     "%1 cannot be loaded: it is far larger than a configuration file.\nNothing was changed.")
                     .arg(QDir::toNativeSeparators(path)));
        return;
    }
    const QByteArray bytes = file.readAll();
    QString problem;
    if (kind.lumatrix) {
        const Loaded<ScaleTable> table = readLumatrixFile(bytes);
        problem = table.problem;
        if (table.value)
            model.scales = *table.value;
    } else {
        const Loaded<QDomDocument> document = parseFlowFile(bytes);
        problem = document.problem;
        if (document.value) {
            const Loaded<FlowChannels> channels = readFlowDocument(*document.value, model.channels);
            problem = channels.problem;
            if (channels.value)
                model.channels = *channels.value;
        }
    }
    if (!problem.isEmpty()) {
        tell(ui, QStringLiteral("%1 cannot be loaded: %2.\nNothing was changed.")
                     .arg(QDir::toNativeSeparators(path), problem));
        return;
    }
    model.notifyChanged();
}

void registerConfigFiles(app::Workbench& bench) {
    bench.setCommandHandler(app::Command::Save, [&bench] { saveConfiguration(bench); });
    bench.setCommandHandler(app::Command::Load, [&bench] { loadConfiguration(bench); });
    installGridEditing(bench);
}

} // namespace files
