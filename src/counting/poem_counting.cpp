#include "counting/poem_counting.h"

#include "mainwindow/qt_text.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace stanzel {

PoemCounting::PoemCounting(QTextDocument& document, QObject* parent)
    : QObject(parent), document_(document) {
    connect(&document_, &QTextDocument::contentsChange, this, &PoemCounting::follow);
    recountAll();
}

void PoemCounting::setCounter(SyllableCounter counter) {
    counter_ = std::move(counter);
    recountAll();
}

std::vector<std::string> PoemCounting::paragraphTexts(int first, int last) const {
    std::vector<std::string> texts;
    for (QTextBlock block = document_.findBlockByNumber(first);
         block.isValid() && block.blockNumber() <= last; block = block.next())
        texts.push_back(FromQ(block.text()));
    return texts;
}

void PoemCounting::recountAll() {
    tally_.clear();
    tally_.replace(0, 0, paragraphTexts(0, document_.blockCount() - 1), counter_);
    emit counted();
}

void PoemCounting::follow(int position, int /*removed*/, int added) {
    // The paragraphs from the change's start to its end are new; those after
    // it are the old ones, moved by as many paragraphs as the box gained.
    const int blocks = document_.blockCount();
    const QTextBlock firstBlock = document_.findBlock(position);
    const QTextBlock lastBlock = document_.findBlock(position + added);
    const int first = firstBlock.isValid() ? firstBlock.blockNumber() : blocks - 1;
    const int last = lastBlock.isValid() ? lastBlock.blockNumber() : blocks - 1;
    const int gained = blocks - static_cast<int>(tally_.paragraphCount());
    const int replaced = last - first + 1 - gained;
    if (first < 0 || last < first || replaced < 0 ||
        first + replaced > static_cast<int>(tally_.paragraphCount())) {
        recountAll();
        return;
    }
    tally_.replace(static_cast<std::size_t>(first), static_cast<std::size_t>(replaced),
                   paragraphTexts(first, last), counter_);
    emit counted();
}

PoemCounting::CursorLine PoemCounting::lineAt(const QTextCursor& cursor) const {
    const QTextBlock block = cursor.block();
    const auto paragraph = static_cast<std::size_t>(std::max(block.blockNumber(), 0));
    if (paragraph >= tally_.paragraphCount())
        return {};
    const auto line = static_cast<std::size_t>(
        block.text().left(cursor.positionInBlock()).count(QChar::LineSeparator));
    const auto lines = tally_.lines(paragraph);
    return {tally_.lineNumber(paragraph, line), lines[std::min(line, lines.size() - 1)]};
}

} // namespace stanzel
