#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>

#include "app/SettingsFile.h"
#include "support/QtFiles.h"
#include "ui/WindowRig.h"
#include "ui/forms/Uterm.h"

namespace kvartix::test {
namespace {

class MainWindowSettings : public WindowRig {
  protected:
    void Load(const std::string& fileText) {
        WriteAll(path, fileText);
        form->LoadSettings({path.toStdString(), {}}, LoadSettingsFile(path.toStdString()));
    }
    QTemporaryDir dir;
    QString path = dir.filePath("line2.ini");
};

TEST_F(MainWindowSettings, a_hand_edited_file_shows_in_the_controls_and_a_close_writes_it_back) {
    Load("[Morvi]\nPlus=1\n[Test]\nold=1\n[Parameters]\nBitRate=12345\nDataBits=7\n"
         "parity=2\nRandomFlow=1\n[Protocol]\nSymbol=0x41\nPacketSize=1\n[Mine]\nkept=yes\n");
    EXPECT_EQ(form->windowTitle(), "KVARTIX line2");
    EXPECT_EQ(form->ComboBox2->currentText(), "12345");
    EXPECT_EQ(form->Core().Chart().AxisTitle(), "Kbit/s");
    EXPECT_TRUE(form->RadioD[2]->isChecked() && form->RadioP[2]->isChecked());
    EXPECT_TRUE(form->RadioRF2->isChecked() && !form->RadioRF1->isChecked());
    EXPECT_EQ(form->EditSymb->text(), "$41");
    EXPECT_TRUE(form->EditSymb->isVisibleTo(form.get()));
    EXPECT_EQ(form->ComboBox3->currentText(), "1");
    EXPECT_TRUE(form->close());
    const std::string saved = ReadAll(path);
    for (const char* part : {"[Morvi]\nPlus=1\n", "[Mine]\nkept=yes\n", "BitRate=12345\n",
                             "DataBits=7\n", "parity=2\n", "RandomFlow=1\n", "Symbol=65\n",
                             "PacketSize=1\n"})
        EXPECT_NE(saved.find(part), std::string::npos) << part << " in\n" << saved;
    EXPECT_EQ(saved.find("[Test]"), std::string::npos);
}

TEST_F(MainWindowSettings, a_record_folder_gets_a_file_a_session_and_is_written_back) {
    Load("[Record]\nFolder=" + dir.path().toStdString() + "\n");
    StartBert();
    const QString record = form->RecordPath();
    EXPECT_TRUE(QFileInfo(record).fileName().startsWith("LOOP_")) << record.toStdString();
    RunSeconds(2);
    form->Button2->click();
    EXPECT_TRUE(form->RecordPath().isEmpty());
    const QStringList rows =
        QString::fromStdString(ReadAll(record)).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 4) << "the header, two seconds and the stop";
    EXPECT_TRUE(rows[0].startsWith("time_s,received,"));
    EXPECT_EQ(rows.back().section(',', 1, 1).toLongLong(), form->Core().Counters().Received);
    EXPECT_TRUE(form->close());
    EXPECT_NE(ReadAll(path).find("[Record]\nFolder=" + dir.path().toStdString() + "\n"),
              std::string::npos);
}

TEST_F(MainWindowSettings, a_save_that_cannot_be_made_keeps_the_window_open_and_the_file_whole) {
    Load("[Parameters]\nBitRate=9600\n");
    form->ComboBox2->setEditText("9600x");
    EXPECT_FALSE(form->close());
    EXPECT_EQ(Reports, (std::vector<std::string>{"'9600x' is not a valid integer value."}));
    EXPECT_EQ(ReadAll(path), "[Parameters]\nBitRate=9600\n");

    // A folder that is a file refuses the write, whoever runs the test (root included).
    WriteAll(dir.filePath("folder"), "");
    const std::string blocked = dir.filePath("folder/line2.ini").toStdString();
    form->LoadSettings({blocked, {}}, ProgramSettings{});
    EXPECT_FALSE(form->close());
    ASSERT_EQ(Reports.size(), 2u);
    EXPECT_EQ(Reports[1], "Unable to write to " + blocked + ".");
    EXPECT_TRUE(form->isVisible());
}

struct StoredPosition {
    const char* Left;
    const char* Top;
};
class MainWindowPosition : public MainWindowSettings,
                           public ::testing::WithParamInterface<StoredPosition> {};

TEST_P(MainWindowPosition, lands_wholly_on_the_screen) {
    Load(std::string("[Program]\nLeft=") + GetParam().Left + "\nTop=" + GetParam().Top + "\n");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(form->frameGeometry()))
        << form->frameGeometry().x() << "," << form->frameGeometry().y();
}

INSTANTIATE_TEST_SUITE_P(Stored, MainWindowPosition,
                         ::testing::Values(StoredPosition{"5000", "5000"},
                                           StoredPosition{"-2147483648", "2147483647"},
                                           StoredPosition{"-30", "-30"}),
                         [](const auto& info) {
                             return Identifier(std::string(info.param.Left) + "_" + info.param.Top);
                         });

TEST_F(MainWindowSettings, a_position_on_the_screen_is_kept) {
    Load("[Program]\nLeft=40\nTop=30\n");
    EXPECT_EQ(form->pos(), QPoint(40, 30));
}

// Discovery lists LOOP alone here, and preselected it.
struct SavedPort {
    const char* Saved;
    const char* Shown;
};
class SavedPortShown : public MainWindowSettings,
                       public ::testing::WithParamInterface<SavedPort> {};

TEST_P(SavedPortShown, a_text_that_is_no_com_name_stays_and_a_com_name_gives_way) {
    Load(std::string("[Parameters]\nPort=") + GetParam().Saved + "\n");
    EXPECT_EQ(form->ComboBox1->currentText(), GetParam().Shown);
}
INSTANTIATE_TEST_SUITE_P(Ports, SavedPortShown,
                         ::testing::Values(SavedPort{"LOOP:corrupt=1e-3", "LOOP:corrupt=1e-3"},
                                           SavedPort{"/dev/pts/4", "/dev/pts/4"},
                                           SavedPort{"/dev/ttyUSB0", "/dev/ttyUSB0"},
                                           SavedPort{"COM7", "LOOP"}, SavedPort{"com12", "LOOP"},
                                           SavedPort{"", "LOOP"}, SavedPort{"COMX", "COMX"}),
                         [](const auto& info) { return Identifier(info.param.Saved); });

TEST_F(MainWindowSettings, a_saved_port_that_is_not_there_fails_the_start_by_its_own_name) {
    Load("[Parameters]\nPort=/dev/kvartix-unplugged\n");
    Click(form->Button3);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "/dev/kvartix-unplugged не доступен");
    EXPECT_FALSE(form->Session().Running());
}

TEST_F(MainWindowSettings, a_terminal_session_hides_the_window_until_its_own_window_closes) {
    TFterm terminal(form->Core().TerminalTxText);
    form->AttachWindows(&terminal, nullptr);
    Click(form->Button4);
    ASSERT_TRUE(form->Session().Running());
    EXPECT_TRUE(terminal.isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Button2->isEnabled()) << "only the terminal window ends it";
    EXPECT_TRUE(terminal.Memo1->toPlainText().isEmpty() || terminal.Memo1->toPlainText() == "Memo1");
    form->Core().TerminalTxText = "ping\r\n";
    RunEventsUntil([&] { return terminal.Memo1->toPlainText().startsWith("ping"); }, 3000);
    EXPECT_TRUE(terminal.Memo1->toPlainText().startsWith("ping")) << "LOOP sends it back";
    EXPECT_EQ(form->Core().Counters().Received, 0) << "a terminal counts nothing";
    terminal.close();
    EXPECT_FALSE(form->Session().Running());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Button3->isEnabled());
    form->AttachWindows(nullptr, nullptr);
}

}  // namespace
}  // namespace kvartix::test

namespace kvartix::test {
namespace {

TEST_F(MainWindowSettings, a_test_pattern_follows_the_sizes_and_the_file_keeps_the_size_beside_it) {
    Load("[Protocol]\nPacketSize=64\nPattern=prbs15\n");
    QComboBox* box = form->ComboBox3;
    EXPECT_EQ(box->currentText(), "prbs15");
    EXPECT_EQ(box->itemText(0), "1");
    EXPECT_EQ(box->itemText(10), "2048") << "the sizes keep their places";
    EXPECT_EQ(box->itemText(11), "prbs9");
    EXPECT_EQ(box->itemText(17), "prbs31");
    EXPECT_EQ(box->count(), 21);
    EXPECT_FALSE(form->EditSymb->isVisibleTo(form.get()));
    EXPECT_TRUE(form->close());
    std::string saved = ReadAll(path);
    EXPECT_NE(saved.find("PacketSize=64\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Pattern=prbs15\n"), std::string::npos) << saved;

    // A size chosen, then a pattern: the size is the one kept; a size again: no pattern key.
    form->show();
    Load("[Protocol]\nPacketSize=64\n");
    box->setCurrentIndex(box->findText("128"));
    box->setCurrentIndex(box->findText("prbs31"));
    EXPECT_TRUE(form->close());
    saved = ReadAll(path);
    EXPECT_NE(saved.find("PacketSize=128\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Pattern=prbs31\n"), std::string::npos) << saved;
    form->show();
    box->setCurrentIndex(box->findText("256"));
    EXPECT_TRUE(form->close());
    saved = ReadAll(path);
    EXPECT_NE(saved.find("PacketSize=256\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("Pattern"), std::string::npos) << saved;
}

TEST_F(MainWindowSettings, a_bert_on_a_test_pattern_counts_characters_in_error_in_the_cells) {
    form->ComboBox1->setEditText("LOOP:corrupt=1e-3,seed=3");
    form->ComboBox3->setCurrentIndex(form->ComboBox3->findText("prbs15"));
    StartBert();
    RunSeconds(2);
    form->Button2->click();
    const std::int64_t errors = form->Core().Counters().Errors;
    EXPECT_GT(errors, 0);
    EXPECT_EQ(form->StaticS4->text().toLongLong(), form->Core().LastUpdate().Errors)
        << "the cell shows the characters in error at the second's update";
    ASSERT_NE(form->Core().Sequence(), nullptr);
    EXPECT_GE(form->Core().Sequence()->BitErrors, errors)
        << "a character in error has a bit or more";
    EXPECT_EQ(form->Core().Sequence()->SyncLosses, 0);
}

TEST_F(MainWindowSettings, a_test_pattern_under_xon_xoff_is_refused_with_a_message) {
    form->ComboBox3->setCurrentIndex(form->ComboBox3->findText("prbs9"));
    form->CheckSoft->setChecked(true);
    Click(form->Button3);
    EXPECT_FALSE(form->Session().Running());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text.rfind("The test pattern prbs9 holds the characters Xon and Xoff", 0),
              0u);
}

}  // namespace
}  // namespace kvartix::test
