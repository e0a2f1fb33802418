#include "TextScreen.h"

#include <QPainter>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QStringList Paragraph = {
    QStringLiteral("The quarterly report shows that revenue grew by twelve percent compared with the same"),
    QStringLiteral(
        "period last year, while operating costs stayed almost flat. Most of the growth came from"),
    QStringLiteral("the northern region, where three new stores opened in March and April. Customer"),
    QStringLiteral("satisfaction scores improved in every category except delivery times, which suffered"),
    QStringLiteral("from the storms in late February. The board has asked the logistics team to present a"),
    QStringLiteral("plan before the next meeting and expects the first results of the new warehouse system"),
    QStringLiteral("by the autumn. Online sales remain the fastest growing channel: the mobile app now"),
    QStringLiteral("accounts for more than a third of all orders, and returns have fallen for the fourth"),
    QStringLiteral("quarter in a row. Marketing spending was moved from print to video, which cost less and"),
    QStringLiteral(
        "reached younger customers. Staff turnover dropped to nine percent after the new training"),
    QStringLiteral("programme started in January. Two risks remain: the price of paper packaging keeps"),
    QStringLiteral("rising, and the lease of the southern warehouse ends next spring. Both are discussed in"),
    QStringLiteral("the appendix, together with the forecast for the rest of the year and the budget."),
};

const QStringList TableHeader = { QStringLiteral("Region"), QStringLiteral("Stores"),
    QStringLiteral("Revenue"), QStringLiteral("Change"), QStringLiteral("Manager") };
const QList<QStringList> TableRows = {
    { QStringLiteral("North"), QStringLiteral("42"), QStringLiteral("18,240"), QStringLiteral("+12.4%"),
        QStringLiteral("Anna Berg") },
    { QStringLiteral("South"), QStringLiteral("37"), QStringLiteral("15,905"), QStringLiteral("+3.1%"),
        QStringLiteral("Marco Rossi") },
    { QStringLiteral("East"), QStringLiteral("29"), QStringLiteral("11,372"), QStringLiteral("-0.8%"),
        QStringLiteral("Olga Ivanova") },
    { QStringLiteral("West"), QStringLiteral("33"), QStringLiteral("13,618"), QStringLiteral("+5.6%"),
        QStringLiteral("Paul Martin") },
    { QStringLiteral("Central"), QStringLiteral("51"), QStringLiteral("22,047"), QStringLiteral("+9.9%"),
        QStringLiteral("Lena Vogel") },
    { QStringLiteral("Coast"), QStringLiteral("18"), QStringLiteral("7,431"), QStringLiteral("+2.2%"),
        QStringLiteral("Tom Hughes") },
    { QStringLiteral("Mountain"), QStringLiteral("12"), QStringLiteral("4,980"), QStringLiteral("-3.5%"),
        QStringLiteral("Sara Lind") },
    { QStringLiteral("Islands"), QStringLiteral("6"), QStringLiteral("2,114"), QStringLiteral("+1.0%"),
        QStringLiteral("Jon Olsen") },
    { QStringLiteral("Airport"), QStringLiteral("9"), QStringLiteral("6,802"), QStringLiteral("+14.7%"),
        QStringLiteral("Eva Novak") },
    { QStringLiteral("Online"), QStringLiteral("1"), QStringLiteral("31,560"), QStringLiteral("+27.3%"),
        QStringLiteral("Ines Costa") },
    { QStringLiteral("Total"), QStringLiteral("238"), QStringLiteral("134,069"), QStringLiteral("+10.2%"),
        QStringLiteral("Board") },
};

const QStringList SideItems = { QStringLiteral("Inbox"), QStringLiteral("Drafts"),
    QStringLiteral("Sent items"), QStringLiteral("Archive"), QStringLiteral("Reports"),
    QStringLiteral("Calendar"), QStringLiteral("Contacts"), QStringLiteral("Tasks"), QStringLiteral("Notes"),
    QStringLiteral("Projects"), QStringLiteral("Invoices"), QStringLiteral("Orders"),
    QStringLiteral("Customers"), QStringLiteral("Suppliers"), QStringLiteral("Products"),
    QStringLiteral("Stock levels"), QStringLiteral("Shipping"), QStringLiteral("Returns"),
    QStringLiteral("Marketing"), QStringLiteral("Campaigns"), QStringLiteral("Analytics"),
    QStringLiteral("Team members"), QStringLiteral("Permissions"), QStringLiteral("Settings"),
    QStringLiteral("Help centre"), QStringLiteral("Sign out") };

const QStringList Activity = {
    QStringLiteral("09:02 Anna Berg opened the report"),
    QStringLiteral("09:05 Marco Rossi added two comments"),
    QStringLiteral("09:11 Olga Ivanova changed the table"),
    QStringLiteral("09:18 Paul Martin shared the file"),
    QStringLiteral("09:24 Lena Vogel approved page four"),
    QStringLiteral("09:31 Tom Hughes uploaded new figures"),
    QStringLiteral("09:40 Sara Lind asked for a review"),
    QStringLiteral("09:46 Jon Olsen fixed a broken link"),
    QStringLiteral("09:52 Eva Novak renamed the chapter"),
    QStringLiteral("10:03 Ines Costa exported a copy"),
    QStringLiteral("10:10 Clara Weiss moved the deadline"),
    QStringLiteral("10:17 David Moreau signed the budget"),
    QStringLiteral("10:25 Anna Berg answered a comment"),
    QStringLiteral("10:32 Marco Rossi printed two pages"),
    QStringLiteral("10:38 Olga Ivanova updated the chart"),
    QStringLiteral("10:45 Paul Martin locked the summary"),
    QStringLiteral("10:51 Lena Vogel invited the auditors"),
    QStringLiteral("10:58 Tom Hughes removed old drafts"),
    QStringLiteral("11:04 Sara Lind closed three tasks"),
    QStringLiteral("11:12 Jon Olsen checked the totals"),
    QStringLiteral("11:19 Eva Novak added the appendix"),
    QStringLiteral("11:26 Ines Costa translated the notes"),
    QStringLiteral("11:33 Clara Weiss published version 3.2"),
    QStringLiteral("11:40 David Moreau sent it to the board"),
    QStringLiteral("11:47 Anna Berg archived the old report"),
    QStringLiteral("11:55 Marco Rossi started the next plan"),
};

const QList<QStringList> Properties = {
    { QStringLiteral("Document"), QStringLiteral("Quarterly report") },
    { QStringLiteral("Author"), QStringLiteral("Finance team") },
    { QStringLiteral("Created"), QStringLiteral("2 April 2024") },
    { QStringLiteral("Modified"), QStringLiteral("15 April 2024") },
    { QStringLiteral("Version"), QStringLiteral("3.2 final") },
    { QStringLiteral("Status"), QStringLiteral("Approved") },
    { QStringLiteral("Pages"), QStringLiteral("48") },
    { QStringLiteral("Words"), QStringLiteral("12,406") },
    { QStringLiteral("Language"), QStringLiteral("English") },
    { QStringLiteral("Owner"), QStringLiteral("Clara Weiss") },
    { QStringLiteral("Reviewer"), QStringLiteral("David Moreau") },
    { QStringLiteral("Department"), QStringLiteral("Controlling") },
    { QStringLiteral("Project"), QStringLiteral("Annual planning") },
    { QStringLiteral("Budget"), QStringLiteral("250,000") },
    { QStringLiteral("Currency"), QStringLiteral("Euro") },
    { QStringLiteral("Deadline"), QStringLiteral("30 June") },
    { QStringLiteral("Priority"), QStringLiteral("High") },
    { QStringLiteral("Location"), QStringLiteral("Head office") },
    { QStringLiteral("Shared with"), QStringLiteral("Board members") },
    { QStringLiteral("Comments"), QStringLiteral("17 open") },
    { QStringLiteral("Size"), QStringLiteral("4.8 MB") },
    { QStringLiteral("Format"), QStringLiteral("Portable document") },
};

QFont font(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QStringList words(const QString& text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.split(space, Qt::SkipEmptyParts);
}

} // namespace

TextScreen textScreen()
{
    TextScreen screen;
    screen.image = QImage(1920, 1080, QImage::Format_RGB32);
    screen.image.fill(QColor(250, 250, 250));
    QPainter painter(&screen.image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    auto text = [&](int x, int baseline, const QString& line) {
        painter.drawText(x, baseline, line);
        screen.lines.append(line);
    };

    // Title and menu bar.
    painter.fillRect(0, 0, 1920, 30, QColor(45, 48, 52));
    painter.setPen(Qt::white);
    painter.setFont(font(14, true));
    text(16, 20, QStringLiteral("Sales Overview - Company Workspace"));
    painter.fillRect(0, 30, 1920, 28, QColor(236, 236, 236));
    painter.setPen(Qt::black);
    painter.setFont(font(13));
    text(16, 49, QStringLiteral("File   Edit   View   Insert   Format   Tools   Window   Help"));
    // Tool bar buttons.
    painter.setFont(font(12));
    const QStringList buttons = { QStringLiteral("New"), QStringLiteral("Open"), QStringLiteral("Save"),
        QStringLiteral("Print"), QStringLiteral("Share"), QStringLiteral("Export"), QStringLiteral("Undo"),
        QStringLiteral("Redo"), QStringLiteral("Search"), QStringLiteral("Filter"), QStringLiteral("Sort") };
    QString toolbar;
    for (int i = 0; i < buttons.size(); ++i) {
        const QRect button(16 + i * 90, 66, 80, 26);
        painter.setPen(QColor(170, 170, 170));
        painter.setBrush(QColor(255, 255, 255));
        painter.drawRoundedRect(button, 3, 3);
        painter.setPen(Qt::black);
        painter.drawText(button, Qt::AlignCenter, buttons[i]);
        toolbar += (i ? QStringLiteral(" ") : QString()) + buttons[i];
    }
    screen.lines.append(toolbar);

    // Side list.
    painter.fillRect(0, 100, 220, 940, QColor(240, 242, 245));
    painter.setFont(font(13));
    for (int i = 0; i < SideItems.size(); ++i) {
        if (i == 2)
            painter.fillRect(0, 112 + i * 35, 220, 30, QColor(204, 224, 255));
        painter.setPen(Qt::black);
        text(24, 132 + i * 35, SideItems[i]);
    }

    // Heading and paragraph.
    painter.setPen(Qt::black);
    painter.setFont(font(22, true));
    text(260, 140, QStringLiteral("Quarterly results"));
    painter.setFont(font(14));
    for (int i = 0; i < Paragraph.size(); ++i)
        text(260, 180 + i * 22, Paragraph[i]);

    // Table with a header row and grid lines.
    const int columns[] = { 260, 400, 490, 620, 740, 940 };
    const int top = 480, rowHeight = 30;
    const int rows = int(TableRows.size()) + 1;
    painter.setPen(QColor(190, 190, 190));
    for (int r = 0; r <= rows; ++r)
        painter.drawLine(columns[0], top + r * rowHeight, columns[5], top + r * rowHeight);
    for (int x : columns)
        painter.drawLine(x, top, x, top + rows * rowHeight);
    auto row = [&](int index, const QStringList& cells, bool bold) {
        painter.setFont(font(13, bold));
        painter.setPen(Qt::black);
        for (int c = 0; c < 5; ++c)
            painter.drawText(columns[c] + 10, top + index * rowHeight + 20, cells[c]);
        screen.lines.append(cells.join(QLatin1Char(' ')));
    };
    row(0, TableHeader, true);
    for (int r = 0; r < TableRows.size(); ++r)
        row(r + 1, TableRows[r], false);

    // Notes under the table, smaller and grey, as captions are.
    painter.setPen(QColor(90, 90, 90));
    painter.setFont(font(12));
    text(260, 880, QStringLiteral("Figures in thousands of euros; online sales include the mobile app."));
    text(260, 900,
        QStringLiteral("Store counts as of the last day of the quarter; closed stores are not included."));
    text(260, 920,
        QStringLiteral("Changes are against the same quarter of the previous year, adjusted for currency."));

    // Activity list between the text and the panel.
    painter.setPen(Qt::black);
    painter.setFont(font(16, true));
    text(1000, 140, QStringLiteral("Recent activity"));
    painter.setFont(font(13));
    for (int i = 0; i < Activity.size(); ++i)
        text(1000, 180 + i * 32, Activity[i]);

    // Properties panel on the right.
    painter.fillRect(1440, 100, 480, 940, QColor(244, 244, 244));
    painter.setPen(Qt::black);
    painter.setFont(font(16, true));
    text(1460, 130, QStringLiteral("Properties"));
    painter.setFont(font(13));
    for (int i = 0; i < Properties.size(); ++i) {
        painter.setPen(QColor(80, 80, 80));
        painter.drawText(1460, 170 + i * 36, Properties[i][0]);
        painter.setPen(Qt::black);
        painter.drawText(1620, 170 + i * 36, Properties[i][1]);
        screen.lines.append(Properties[i].join(QLatin1Char(' ')));
    }

    // Status bar.
    painter.fillRect(0, 1040, 1920, 40, QColor(230, 230, 230));
    painter.setPen(Qt::black);
    painter.setFont(font(12));
    text(16, 1065, QStringLiteral("Ready   Page 1 of 3   Last saved at 14:32"));
    return screen;
}

double wordAccuracy(const QStringList& drawn, const QString& recognised)
{
    QStringList expected = words(drawn.join(QLatin1Char(' ')));
    QStringList found = words(recognised);
    // Counted as a bag: parts of the page may come in another order (a side list before or after the
    // text beside it) without a word being wrong. Words found that were never drawn count against it.
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    int matched = 0;
    for (auto e = expected.cbegin(), f = found.cbegin(); e != expected.cend() && f != found.cend();) {
        if (*e < *f) {
            ++e;
        } else if (*f < *e) {
            ++f;
        } else {
            ++matched;
            ++e;
            ++f;
        }
    }
    const qsizetype total = std::max(expected.size(), found.size());
    return total ? double(matched) / double(total) : 0.0;
}
