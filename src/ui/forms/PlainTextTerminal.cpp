#include "ui/forms/PlainTextTerminal.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace kvartix {
namespace {

// A line's layout keeps its glyphs: the edit shapes a line to lay it out, and without them
// shapes it again for every paint. New lines only ever come at the end, so the walk stops at
// the first line that already keeps them.
void KeepGlyphs(const QTextDocument& document) {
    for (QTextBlock block = document.lastBlock(); block.isValid(); block = block.previous()) {
        QTextLayout* layout = block.layout();
        if (layout->cacheEnabled()) break;
        layout->setCacheEnabled(true);
    }
}

}  // namespace

QTextCursor PlainTextTerminal::Caret() const { return m_inBatch ? m_cursor : m_edit.textCursor(); }

void PlainTextTerminal::BeginUpdate() {
    m_cursor = m_edit.textCursor();
    m_cursor.beginEditBlock();
    m_inBatch = true;
    m_scroll = 0;
}

void PlainTextTerminal::EndUpdate() {
    m_cursor.endEditBlock();
    m_inBatch = false;
    KeepGlyphs(*m_edit.document());
    m_edit.setTextCursor(m_cursor);
    if (m_scroll > 0) {
        QScrollBar* bar = m_edit.verticalScrollBar();
        bar->setValue(std::min(bar->maximum(), bar->value() + m_scroll));
    }
}

int PlainTextTerminal::LineCount() const { return m_edit.document()->blockCount(); }

int PlainTextTerminal::LineLength(int line) const {
    const QTextBlock block = m_edit.document()->findBlockByNumber(line);
    return block.isValid() ? block.length() - 1 : 0;
}

void PlainTextTerminal::DeleteLine(int line) {
    const QTextBlock block = m_edit.document()->findBlockByNumber(line);
    if (!block.isValid()) return;
    QTextCursor c(m_edit.document());
    const QTextBlock next = block.next();
    if (next.isValid()) {
        c.setPosition(block.position());
        c.setPosition(next.position(), QTextCursor::KeepAnchor);
    } else {
        // The last line takes the break before it with it.
        c.setPosition(std::max(0, block.position() - 1));
        c.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
}

// In one removal: the lines that scroll out of a batch go at once, not a document edit each.
void PlainTextTerminal::DeleteFirstLines(int count) {
    if (count <= 0) return;
    const QTextBlock keep = m_edit.document()->findBlockByNumber(count);
    if (!keep.isValid()) {
        for (int i = 0; i < count; ++i) DeleteLine(0);
        return;
    }
    QTextCursor c(m_edit.document());
    c.setPosition(keep.position(), QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

int PlainTextTerminal::EndPosition() const { return m_edit.document()->characterCount() - 1; }

void PlainTextTerminal::SetSelStart(int position) {
    m_cursor.setPosition(std::clamp(position, 0, EndPosition()));
}

void PlainTextTerminal::SetSelLength(int length) {
    const int start = m_cursor.selectionStart();
    m_cursor.setPosition(start);
    if (length > 0)
        m_cursor.setPosition(std::min(start + length, EndPosition()), QTextCursor::KeepAnchor);
}

void PlainTextTerminal::ReplaceSelection(const std::u32string& text) {
    m_cursor.insertText(QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size())));
}

int PlainTextTerminal::LineIndex(int line) const {
    if (line < 0) return Caret().block().position();
    const QTextBlock block = m_edit.document()->findBlockByNumber(line);
    return block.isValid() ? block.position() : EndPosition();
}

int PlainTextTerminal::LineFromChar(int position) const {
    return m_edit.document()->findBlock(std::clamp(position, 0, EndPosition())).blockNumber();
}

}  // namespace kvartix
