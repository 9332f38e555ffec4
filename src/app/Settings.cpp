#include "app/Settings.h"

#include <cstdio>


namespace kvartix {
namespace {

int InRange(std::int32_t value, int low, int high, int fallback) {
    return value >= low && value <= high ? value : fallback;
}

}  // namespace

int PacketSizeIndex(std::int32_t stored) {
    for (std::size_t i = 1; i < kPacketSizeEntries.size(); ++i)
        if (stored < kPacketSizeEntries[i]) return static_cast<int>(i - 1);
    return static_cast<int>(kPacketSizeEntries.size() - 1);
}

std::string SymbolHexText(std::int32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "$%02X", static_cast<unsigned>(value));
    return text;
}

bool ReadPlus(const IniDocument& doc) {
    return doc.ReadBool("Morvi", "Plus", false);
}

void ProgramSettings::Load(const IniDocument& doc) {
    Left = doc.ReadInteger("Program", "Left", 20);
    Top = doc.ReadInteger("Program", "Top", 20);

    Port = doc.ReadString("Parameters", "Port", "");
    DataBits = InRange(doc.ReadInteger("Parameters", "DataBits", 8), 5, 8, 8);
    StopBits = InRange(doc.ReadInteger("Parameters", "StopBits", 0), 0, 2, 0);
    Parity = InRange(doc.ReadInteger("Parameters", "Parity", 0), 0, 4, 0);
    BitRate = IntegerEntry::Of(doc.ReadInteger("Parameters", "BitRate", kDefaultBitRate));
    XonXoff = doc.ReadBool("Parameters", "Xon/Xoff", false);
    RtsCts = doc.ReadBool("Parameters", "RTS/CTS", false);
    DTREnable = doc.ReadBool("Parameters", "DTREnable", true);
    DSREnable = doc.ReadBool("Parameters", "DSREnable", false);
    RandomFlow = doc.ReadBool("Parameters", "RandomFlow", false);

    const std::int32_t symbol = doc.ReadInteger("Protocol", "Symbol", kDefaultSymbol);
    Symbol = IntegerEntry::Of(symbol, SymbolHexText(symbol));
    const std::int32_t packet = doc.ReadInteger("Protocol", "PacketSize", kDefaultPacketSize);
    PacketIndex = PacketSizeIndex(packet);
    SymbolVisible = packet == 1;
    // A name no pattern has loads as the packets, as out-of-range line values load as defaults.
    Pattern =
        PatternNamed(doc.ReadString("Protocol", "Pattern", "")).value_or(LinePattern::Packets);

    TerminalLeft = doc.ReadInteger("Terminal", "Left", 20);
    TerminalTop = doc.ReadInteger("Terminal", "Top", 20);
    TerminalWidth = doc.ReadInteger("Terminal", "Width", 200);
    TerminalHeight = doc.ReadInteger("Terminal", "Height", 200);
    TerminalNormal = doc.ReadBool("Terminal", "Window", true);
    TerminalHex = doc.ReadBool("Terminal", "Hex", false);
    TerminalTimestamps = doc.ReadBool("Terminal", "Timestamps", false);
    TerminalLineEnd = doc.ReadInteger("Terminal", "LineEnd", 0);
    if (TerminalLineEnd < 0 || TerminalLineEnd > 2) TerminalLineEnd = 0;
    FontName = doc.ReadString("TerminalFont", "Name", "Courier");
    FontSize = doc.ReadInteger("TerminalFont", "Size", 8);
    FontColor = doc.ReadInteger("TerminalFont", "Color", 0);

    RecordFolder = doc.ReadString("Record", "Folder", "");
}

std::optional<std::string> ProgramSettings::Save(IniDocument& doc) const {
    for (const IntegerEntry* number : {&BitRate, &Symbol})
        if (!number->Value) return NotAnIntegerMessage(number->Text) + ".";

    // Files that never chose a terminal view keep exactly their keys.
    const auto chosen = [&doc](const char* key) {
        return doc.ReadString("Terminal", key, "\x01") != "\x01";
    };
    const bool hexKey = chosen("Hex"), timestampsKey = chosen("Timestamps"),
               lineEndKey = chosen("LineEnd");
    // Nor does a file gain a record folder nobody chose.
    const bool recordKey = doc.ReadString("Record", "Folder", "\x01") != "\x01";
    for (const char* section :
         {"Parameters", "Test", "Program", "Terminal", "TerminalFont", "Protocol", "Record"})
        doc.EraseSection(section);

    doc.WriteInteger("Program", "Left", Left);
    doc.WriteInteger("Program", "Top", Top);

    doc.WriteString("Parameters", "Port", Port);
    if (DataBits >= 5 && DataBits <= 8) doc.WriteInteger("Parameters", "DataBits", DataBits);
    doc.WriteInteger("Parameters", "stopBits", StopBits);
    doc.WriteInteger("Parameters", "parity", Parity);
    doc.WriteInteger("Parameters", "BitRate", *BitRate.Value);
    doc.WriteBool("Parameters", "Xon/Xoff", XonXoff);
    doc.WriteBool("Parameters", "RTS/CTS", RtsCts);
    doc.WriteBool("Parameters", "DTREnable", DTREnable);
    doc.WriteBool("Parameters", "DSREnable", DSREnable);
    doc.WriteBool("Parameters", "RandomFlow", RandomFlow);

    const int packet = PacketIndex >= 0 && PacketIndex < static_cast<int>(kPacketSizeEntries.size())
                           ? PacketIndex
                           : PacketSizeIndex(kDefaultPacketSize);
    doc.WriteInteger("Protocol", "PacketSize", kPacketSizeEntries[packet]);
    doc.WriteInteger("Protocol", "Symbol", *Symbol.Value);
    if (Pattern != LinePattern::Packets)
        doc.WriteString("Protocol", "Pattern", PatternName(Pattern));

    doc.WriteBool("Terminal", "Window", TerminalNormal);
    doc.WriteInteger("Terminal", "Left", TerminalLeft);
    doc.WriteInteger("Terminal", "Top", TerminalTop);
    doc.WriteInteger("Terminal", "Width", TerminalWidth);
    doc.WriteInteger("Terminal", "Height", TerminalHeight);
    if (TerminalHex || hexKey) doc.WriteBool("Terminal", "Hex", TerminalHex);
    if (TerminalTimestamps || timestampsKey)
        doc.WriteBool("Terminal", "Timestamps", TerminalTimestamps);
    if (TerminalLineEnd != 0 || lineEndKey)
        doc.WriteInteger("Terminal", "LineEnd", TerminalLineEnd);

    doc.WriteString("TerminalFont", "Name", FontName);
    doc.WriteInteger("TerminalFont", "Size", FontSize);
    doc.WriteInteger("TerminalFont", "Color", FontColor);

    if (!RecordFolder.empty() || recordKey) doc.WriteString("Record", "Folder", RecordFolder);
    return std::nullopt;
}

}  // namespace kvartix
