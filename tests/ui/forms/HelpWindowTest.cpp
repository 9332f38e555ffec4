#include <gtest/gtest.h>

#include <QDir>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include "ui/forms/Uhelp.h"

namespace kvartix {
namespace {

// clang-format off
const char* const kExpected[] = {
    " ",
    "портам.",
    "",
    "Программа работает в Windows 95(98), Windows NTи Windows 2000.",
    "",
    "Программа работает с COM портами через драйвер Windows.",
    "",
    "Способ вызова программы:",
    "   KVARTIX FileName,",
    "           где FileName имя файла в котором сохранятся все сделанные Вами установки.",
    "           По умолчанию он имеет расширение INI и сохраняется в той же папке, где находится",
    "           KVARTIX.EXE.",
    "Одновременно можно запускать несколько программ KVARTIX.",
    "",
    "Замечания:",
    " При установленом Software Flow cotnrol (Xon/Xof) в Windows 95 (98) могут возникать ошибки.",
    "Что бы их убрать, необходимо установить у COM порта минимальный размер FIFO на передачу,",
    "и максимальный размер FIFO на прием. Причина этих ошибок - ошибки в стандартном драйвере",
    "COM портов для Windows.",
    " В связи с плохой работой Software Flow control в среде Windows, лучше его не",
    "использовать, а использовать Hardware Flow control.",
    "",
    " Перед проверкой оборудования подключенного к COM портам, при помощи этой программы",
    "рекомендуется проверить  работу драйвера Windows для COM порта. Для этого подсоедините",
    "к COM порту loopback connector и запустите тест \"BERT\". Проверьте драйвер Windows в тех",
    "режимах, в которых Вы собираетесь подключать оборудование!",
    "",
    " Причиной ошибок в тесте \"BERT\" может служить неправильная установка FLOW control.",
    "Это касается как программы, так и оборудования подключенного к COM порту.",
    " ",
    " Краткую подсказку о функциях программы можно получить нажав кнопку со знаком",
    "вопроса, и подводя мышь к интересующим Вас элементам управления программой.",
};
// clang-format on

TEST(HelpWindow, HoldsTheThirtyTwoLinesExactly) {
    TFhelp help;
    const QStringList lines = help.Memo1->toPlainText().split(u'\n');
    ASSERT_EQ(lines.size(), 32);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(lines[i].toStdString(), kExpected[i]) << "line " << i + 1;
}

TEST(HelpWindow, ShowsAllTheTextWithoutScrolling) {
    TFhelp help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    EXPECT_EQ(help.size(), QSize(TFhelp::kWidth, TFhelp::kHeight));
    EXPECT_EQ(help.Memo1->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(help.Memo1->isReadOnly());
    QDir().mkpath("grabs");
    EXPECT_TRUE(help.grab().save("grabs/TFhelp.png"));
}

}  // namespace
}  // namespace kvartix
