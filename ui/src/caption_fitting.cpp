// Captions on the controls: the texts of a caption set, wrapped and fitted to the room each
// control has.
#include "caption_fitting.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>
#include <string_view>
#include <vector>

#include "zarn/colour_boxes.h"

namespace zarn::ui {

namespace {

QString captionText(const std::string& text) {
    QString out = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return out;
}

// One piece of a caption line: the spaces before it, and a phrase of words joined by single
// spaces. A run of two or more spaces, or the spaces a line begins with, end a phrase.
struct Piece {
    int gap;
    QString phrase;  // empty for spaces at the end of the line
};

std::vector<Piece> pieces(const QString& line) {
    std::vector<Piece> out;
    const qsizetype n = line.size();
    auto space = [&](qsizetype i) { return i < n && line[i] == QLatin1Char(' '); };
    for (qsizetype i = 0; i < n;) {
        qsizetype j = i;
        while (space(j)) ++j;
        qsizetype k = j;
        while (k < n && !(space(k) && (k + 1 == n || space(k + 1)))) ++k;
        out.push_back({static_cast<int>(j - i), line.mid(j, k - j)});
        i = k;
    }
    return out;
}

struct Wrapped {
    QString text;
    bool phrasesWhole = true;  // no phrase had to be broken at one of its single spaces
};

// Lays the pieces of a caption out into lines of at most `width` pixels, one caption line
// after the other.
class LineBreaker {
public:
    LineBreaker(const QFontMetrics& metrics, int width, bool spacesTakeRoom)
        : metrics_(metrics), width_(width), spacesTakeRoom_(spacesTakeRoom) {}

    void layOut(const QString& line) {
        current_.clear();
        wrappedLine_ = false;
        for (const Piece& piece : pieces(line)) {
            QString gap(piece.gap, QLatin1Char(' '));
            if (spacesTakeRoom_) {
                takeRoom(piece.gap);
                gap.clear();
            }
            if (!piece.phrase.isEmpty()) place(gap, piece.phrase);
        }
        lines_ << current_;
    }
    Wrapped result() const { return {lines_.join(QLatin1Char('\n')), phrasesWhole_}; }

private:
    bool fits(const QString& s) const { return metrics_.horizontalAdvance(s) <= width_; }
    void breakLine() {
        while (current_.endsWith(QLatin1Char(' '))) current_.chop(1);
        lines_ << current_;
        current_.clear();
        wrappedLine_ = true;
    }
    // Spaces that fill the line run on into the next; the space that does not fit ends it.
    void takeRoom(int spaces) {
        for (int i = 0; i < spaces; ++i) {
            if (fits(current_ + QLatin1Char(' ')))
                current_ += QLatin1Char(' ');
            else
                breakLine();
        }
        if (wrappedLine_ && current_.trimmed().isEmpty()) current_.clear();
    }
    // A phrase that does not fit after what the line holds begins the next line; one longer
    // than a line breaks at its single spaces.
    void place(QString gap, const QString& phrase) {
        if (!current_.trimmed().isEmpty() && !fits(current_ + gap + phrase)) {
            breakLine();
            gap.clear();
        }
        const QStringList words = phrase.split(QLatin1Char(' '));
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QString before = i == 0 ? gap : QStringLiteral(" ");
            if (!current_.trimmed().isEmpty() && !fits(current_ + before + words[i])) {
                breakLine();
                current_ = words[i];
                phrasesWhole_ = false;
            } else {
                current_ += before + words[i];
            }
        }
    }

    const QFontMetrics& metrics_;
    const int width_;
    const bool spacesTakeRoom_;
    QStringList lines_;
    bool phrasesWhole_ = true;
    QString current_;
    bool wrappedLine_ = false;  // the line was begun by a break of ours, not by the caption
};

// Breaks a caption into lines of at most `width` pixels, as a word-wrapping control shows it:
// at its explicit line breaks, between phrases, and inside a phrase only when the phrase is
// longer than a line. `spacesTakeRoom`: a run of spaces fills the line and runs on into the
// next, so that the runs in a label's caption show as the blank lines they make; what is left
// of a run on a line that a phrase then begins is not shown. The spaces a caption's line
// begins with stay with its first phrase, even where the two are wider than `width`.
Wrapped wrapped(const QString& text, const QFontMetrics& metrics, int width, bool spacesTakeRoom) {
    LineBreaker breaker(metrics, width, spacesTakeRoom);
    for (const QString& line : text.split(QLatin1Char('\n'))) breaker.layOut(line);
    return breaker.result();
}

// Shrinks a control's font (from at most `maxPointSize`) until its caption fits, for
// desktops with wide fonts.
void fitCaption(const QWidget& window, QWidget* w, qreal maxPointSize = 0) {
    QFont f = window.font();
    f.setBold(w->property("bold").toBool());
    if (maxPointSize > 0 && maxPointSize < f.pointSizeF()) f.setPointSizeF(maxPointSize);
    auto* l = qobject_cast<QLabel*>(w);
    auto* b = qobject_cast<QAbstractButton*>(w);
    const bool check = qobject_cast<QCheckBox*>(w) != nullptr;
    const bool indicator = check || qobject_cast<QRadioButton*>(w) != nullptr;
    int textWidth = w->width();
    if (indicator) {
        textWidth -= window.style()->pixelMetric(
                         check ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth,
                         nullptr, w) +
                     window.style()->pixelMetric(check ? QStyle::PM_CheckBoxLabelSpacing
                                                       : QStyle::PM_RadioButtonLabelSpacing,
                                                 nullptr, w) +
                     2;
    }
    const bool wraps = indicator || (l && l->wordWrap());
    for (;;) {
        w->setFont(f);
        const QFontMetrics metrics(f);
        bool fits = true;
        if (wraps) {
            // A check box, a mode button or a word-wrapping label shows its caption broken
            // where it has room for the lines. A caption laid out with line breaks of its own
            // is not broken again inside a phrase: its font shrinks instead.
            const QString caption = w->property("caption").toString();
            const Wrapped shown = wrapped(caption, metrics, textWidth, !indicator);
            if (b) b->setText(shown.text);
            if (l) l->setText(shown.text);
            const QRect need = metrics.boundingRect(QRect(0, 0, 10000, 10000), 0, shown.text);
            fits = (shown.phrasesWhole || !caption.contains(QLatin1Char('\n'))) &&
                   need.width() <= textWidth && need.height() <= w->height() + (indicator ? 2 : 0);
        } else {
            fits = w->sizeHint().width() <= w->width();
        }
        if (fits || f.pointSizeF() <= 6.0) break;
        f.setPointSizeF(f.pointSizeF() - 0.5);
    }
}

}  // namespace

void applyCaptions(QWidget& window, CaptionSet set) {
    for (const Caption& caption : captions(set)) {
        const QString text = captionText(caption.text);
        if (caption.control == "ZARN1_PS_REPAIR") {
            window.setWindowTitle(text);
            continue;
        }
        QWidget* w = window.findChild<QWidget*>(QString::fromStdString(caption.control));
        if (auto* box = qobject_cast<QGroupBox*>(w)) {
            box->setTitle(text);
        } else if (w) {
            // The exact caption stays readable; a control that wraps shows it broken to its
            // width.
            w->setProperty("caption", text);
            if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
            if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
            fitCaption(window, w);
        }
    }
    // Controls that stand together share one size, the one that fits them all.
    std::vector<std::string_view> colourBoxes;
    for (const ColourBox& box : kColourBoxes) colourBoxes.push_back(box.objectName);
    const std::vector<std::vector<std::string_view>> groups{
        colourBoxes, {"Label4", "Label5"}, {"chkForceA4_0", "chkForceA4_1"}};
    for (const auto& group : groups) {
        qreal smallest = window.font().pointSizeF();
        for (const std::string_view name : group)
            if (auto* w = window.findChild<QWidget*>(QLatin1String(name)))
                smallest = std::min(smallest, w->font().pointSizeF());
        for (const std::string_view name : group)
            if (auto* w = window.findChild<QWidget*>(QLatin1String(name)))
                fitCaption(window, w, smallest);
    }
}

}  // namespace zarn::ui
