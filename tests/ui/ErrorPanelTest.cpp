#include "support/EngineProbe.h"
#include "ui/WindowRig.h"

namespace kvartix::test {
namespace {

TEST(CountSuffix, is_empty_for_zero_and_an_equals_sign_and_the_count_otherwise) {
    EXPECT_EQ(FormatCountSuffix(0), "");
    EXPECT_EQ(FormatCountSuffix(3), " = 3");
    EXPECT_EQ(FormatCountSuffix(-2), " = -2");
}

class Panel : public WindowRig {
  protected:
    void SetUp() override {
        WindowRig::SetUp();
        panel = form->GroupBox10;
        Engine& e = form->Core();
        EngineProbe::DriverErrors(e) = {
            .ParityErrors = 0, .OverrunErrors = 3, .FramingErrors = 1, .OtherErrors = 2};
        EngineProbe::Checker(e).InvalidSymbolCount = 4;
        EngineProbe::Checker(e).SymbolLostCount = 0;
        EngineProbe::Checker(e).SyncLostCount = 5;
    }
    QStringList Rows() const {
        return {panel->title(), panel->Label9->text(), panel->Label13->text(),
                panel->Label14->text(), panel->Label10->text()};
    }
    ErrorPanel* panel = nullptr;
};

TEST_F(Panel, the_switch_changes_between_driver_and_packet_counts) {
    form->View().ShowDriverError(DriverErrorRow::Other, true, 2, 0x10);
    EXPECT_EQ(panel->Label12->text(), "$0010");
    form->RefreshErrorPanel();
    EXPECT_EQ(Rows(), (QStringList{"COM port driver errors", "Parity", "Receive overrun = 3",
                                   "Receive framing = 1", "Other errors = 2"}));
    Click(panel->CheckBox1);
    EXPECT_FALSE(panel->ShowDriverErrors());
    EXPECT_EQ(Rows().mid(0, 4), (QStringList{"Packet errors", "Invalid symb = 4", "Symb is lost",
                                             "Sync is lost = 5"}));
    EXPECT_TRUE(panel->Label10->isHidden() && panel->StaticEr->isHidden());
    EXPECT_EQ(panel->Label12->text(), "$0010");  // the raw word stays
    EXPECT_TRUE(panel->Label9->toolTip().startsWith("Получены 1 или 2"));
    Click(panel->CheckBox1);
    EXPECT_FALSE(panel->Label10->isHidden());
    EXPECT_TRUE(panel->Label9->toolTip().startsWith("Ошибки контроля"));
}

TEST_F(Panel, an_error_cell_is_red_only_in_the_cycle_of_its_event) {
    form->View().ShowDriverError(DriverErrorRow::Framing, true, 1, 0x8);
    EXPECT_EQ(Background(panel->StaticFE), QColor(0xFF, 0, 0));
    EXPECT_EQ(panel->Label14->text(), "Receive framing = 1");
    form->View().ShowDriverError(DriverErrorRow::Framing, false, 1, 0);
    EXPECT_EQ(Background(panel->StaticFE), Face());
    EXPECT_EQ(panel->Label14->text(), "Receive framing = 1");
}

TEST_F(Panel, the_packet_view_counts_driver_errors_without_showing_them) {
    Click(panel->CheckBox1);
    form->View().ShowDriverError(DriverErrorRow::Overrun, true, 4, 0x2);
    EXPECT_EQ(Background(panel->StaticOv), Face());
    EXPECT_EQ(panel->Label13->text(), "Symb is lost");
    form->View().ShowPacketError(PacketErrorRow::SymbolLost, true, 1);
    EXPECT_EQ(Background(panel->StaticOv), QColor(0xFF, 0, 0));
    EXPECT_EQ(panel->Label13->text(), "Symb is lost = 1");
    EngineProbe::DriverErrors(form->Core()).OverrunErrors = 4;
    Click(panel->CheckBox1);
    EXPECT_EQ(panel->Label13->text(), "Receive overrun = 4");
    EXPECT_EQ(Background(panel->StaticOv), Face());
}

TEST_F(Panel, idle_the_parity_row_follows_the_parity_in_the_driver_view_only) {
    form->RadioP[2]->setChecked(true);
    Click(panel->CheckBox1);
    Click(panel->CheckBox1);
    EXPECT_TRUE(panel->Label9->isEnabled());
    EXPECT_FALSE(panel->Label13->isEnabled());
    Click(panel->CheckBox1);
    EXPECT_FALSE(panel->Label9->isEnabled());
}

}  // namespace
}  // namespace kvartix::test
