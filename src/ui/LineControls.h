#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <functional>
#include <span>
#include <vector>

#include "app/Settings.h"
#include "serial/PortInfo.h"

namespace kvartix {

class TForm1;

// The main window's line controls and the settings they hold: each control is tied to its
// setting once, for showing, collecting and the stop that choosing one of them causes.
class LineControls {
  public:
    explicit LineControls(TForm1& form);

    // The lists, then the defaults.
    void Fill(const std::vector<std::string>& ports, const std::string& preselected);
    // Every control but the port box, which discovery fills: a saved text that is no COM name
    // (LOOP with options, a device path, an adapter unplugged now) is the user's own choice
    // and is shown anyway.
    void Show(const ProgramSettings& s);
    // The controls' values into s; a group with no button checked leaves its value as it was.
    void Collect(ProgramSettings& s) const;
    // Calls chosen when a setting is chosen: radio buttons when they become chosen, check
    // boxes on every change, drop-downs when an entry is picked from the list.
    void OnChosen(const std::function<void()>& chosen);

    // What each listed port is: the items' hints, and the box's for the port chosen.
    void ShowPortInfo(const std::vector<PortInfo>& info);

  private:
    void ShowChosenPortHint();

    TForm1& m_form;
    QString m_portBoxHint;  // the box's own, before a port's is added
    // The packet size last chosen, kept while a test pattern is.
    int m_packetIndex = 0;
};

}  // namespace kvartix
