#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <cstdint>

#include "engine/EngineState.h"
#include "engine/EngineView.h"

namespace kvartix {

// Every count the panel can show.
struct ErrorCounts {
    DriverErrorCounters Driver;
    std::int32_t InvalidSymbol = 0;
    std::int32_t SymbolLost = 0;
    std::int32_t SyncLost = 0;
};

// " = " and the count, or nothing for 0.
QString FormatCountSuffix(std::int32_t count);

// The fill of a cell or strip (they fill their background).
void SetBackground(QWidget& w, const QColor& colour);

// A small square cell of the error panel: a single-line border when active, sunken when not.
void SetErrorCellActive(QLabel& cell, bool active);

// GroupBox10: the driver's error counts or the BERT packet events, one row each with a red cell
// for the cycle in which the event happened, and the switch between the two views.
class ErrorPanel final : public QGroupBox {
  public:
    explicit ErrorPanel(QWidget* parent = nullptr);

    bool ShowDriverErrors() const { return m_showDriverErrors; }
    void SetShowDriverErrors(bool on) { m_showDriverErrors = on; }

    // Rebuilds captions, hints and rows for the current view; the parity row is enabled in the
    // driver-error view when a parity is chosen, in the packet-error view while a test runs.
    void Refresh(const ErrorCounts& counts, bool parityChosen, bool testRunning);
    void ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                         std::uint32_t errorMask);
    void ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count);

    void EnableParityRow(bool on);
    // Rows 2 to 4.
    void EnableOtherRows(bool on);

    QLabel* StaticPa;
    QLabel* StaticOv;
    QLabel* StaticFE;
    QLabel* StaticEr;
    QLabel* Label9;
    QLabel* Label13;
    QLabel* Label14;
    QLabel* Label10;
    QLabel* Label12;
    QCheckBox* CheckBox1;

  private:
    void ShowEvent(QLabel& cell, QLabel& label, bool occurred, const QString& text);

    bool m_showDriverErrors = true;
};

}  // namespace kvartix
