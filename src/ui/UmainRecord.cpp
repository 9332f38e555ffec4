// The record of each session in the folder the settings file names: a CSV row a second and
// one at the stop.
#include <QDir>

#include "engine/RunRecord.h"
#include "ui/Umain.h"

namespace kvartix {

void TForm1::OpenRecord(const std::string& port) {
    if (m_recordFolder.empty()) return;
    const QString path =
        QDir(QString::fromStdString(m_recordFolder))
            .filePath(QString::fromStdString(RecordFileName(port, m_clock.WallUs())));
    m_record.setFileName(path);
    // The run goes on without its record; the message says where it was to go.
    if (!m_record.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ErrorBox("The record cannot be written: " + path.toStdString(), true);
        return;
    }
    m_record.write(RecordHeader().c_str());
    m_record.flush();
}

void TForm1::SecondElapsed() {
    if (!m_record.isOpen()) return;
    m_record.write(RecordLine(RecordRowAtUpdate(m_engine)).c_str());
    m_record.flush();
}

void TForm1::CloseRecord() {
    if (!m_record.isOpen()) return;
    m_record.write(RecordLine(RecordRowAt(m_engine, m_clock.NowUs())).c_str());
    m_record.close();
}

}  // namespace kvartix
