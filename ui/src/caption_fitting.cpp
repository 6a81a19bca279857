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

// Breaks a caption at its runs of spaces where it would run past `width` pixels, as a
// word-wrapping control would show it. Explicit line breaks stay.
QString wrapped(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QString current;
        int i = 0;
        while (i < line.size()) {
            int j = i;
            while (j < line.size() && line[j] == QLatin1Char(' ')) ++j;  // the gap
            int k = j;
            while (k < line.size() && line[k] != QLatin1Char(' ')) ++k;  // the word
            const QString candidate = current + line.mid(i, k - i);
            if (!current.trimmed().isEmpty() && metrics.horizontalAdvance(candidate) > width) {
                out << current;
                current = line.mid(j, k - j);
            } else {
                current = candidate;
            }
            i = k;
        }
        out << current;
    }
    return out.join(QLatin1Char('\n'));
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
    for (;;) {
        w->setFont(f);
        const QFontMetrics metrics(f);
        bool fits = true;
        if (indicator) {
            // A check box or mode button wraps its caption where it has room for the lines.
            const QString text = wrapped(b->property("caption").toString(), metrics, textWidth);
            b->setText(text);
            const QRect need = metrics.boundingRect(QRect(0, 0, 10000, 10000), 0, text);
            fits = need.width() <= textWidth && need.height() <= w->height() + 2;
        } else if (l && l->wordWrap()) {
            fits = l->heightForWidth(l->width()) <= l->height();
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
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // The exact caption stays readable; the button shows it wrapped to its width.
            button->setProperty("caption", text);
            button->setText(text);
            fitCaption(window, button);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(text);
            fitCaption(window, l);
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
