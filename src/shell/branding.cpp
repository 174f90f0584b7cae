#include "shell/branding.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>

#include "params_core/program_title.h"
#include "shell/program.h"

namespace shell {

void AddBrandText(Program& p, const QString& text, int left, int top, int pointSize,
                  QColor background, QColor textColour) {
    auto* label = new QLabel(text, p.header);
    QFont font = label->font();  // the dialog font of the platform
    // Sizes are the panel's pixel sizes, so the header keeps its proportions on any screen.
    font.setPixelSize(pointSize);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, textColour);
    palette.setColor(QPalette::Window, background);
    label->setPalette(palette);
    label->setAutoFillBackground(background.alpha() != 0);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->move(left, top);
    label->adjustSize();
    label->show();
}

void BuildBranding(Program& p) {
    const QColor transparent(Qt::transparent);
    const QColor white(0xFF, 0xFF, 0xFF);
    AddBrandText(p, QString::fromLatin1(velorax::kProgramTitle), 323, 29, 19, transparent, white);
    AddBrandText(p, QString::fromLatin1(kCompanyName), 15, 6, 11, transparent, white);
    AddBrandText(p, QString::fromLatin1(kTelephoneLine), 15, 22, 11, transparent, white);
    AddBrandText(p, QString::fromLatin1(kWebAddress), 15, 36, 11, transparent, white);

    p.header->setStyleSheet(QStringLiteral("QFrame#DecoHeader { background-color: #%1; }")
                                .arg(kHeaderColour, 6, 16, QLatin1Char('0')));

    // The logo sits with the panel set; a missing file leaves the picture empty.
    QPixmap logo;
    for (const QString& dir : {p.ResourceDir(), QDir::currentPath()}) {
        const QString path = QDir(dir).filePath(QString::fromLatin1(kLogoFile));
        if (QFile::exists(path) && logo.load(path)) break;
    }
    p.logo->move(325, 6);
    if (!logo.isNull()) {
        p.logo->setScaledContents(false);
        p.logo->setPixmap(logo);
        p.logo->resize(logo.size());
        // The installed icon where the desktop has it, else the logo.
        p.mainPanel->setWindowIcon(QIcon::fromTheme(QStringLiteral("velorax-scope"), QIcon(logo)));
    }
    p.logo->setVisible(true);
}

}  // namespace shell
