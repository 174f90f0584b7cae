#pragma once
// The header of the main panel: program title, maker, contact lines and logo.

#include <QColor>
#include <QString>

namespace shell {

class Program;

inline constexpr const char* kCompanyName = "Orvantis GmbH";
inline constexpr const char* kTelephoneLine = "Tel. +49 7121 5550 190";
inline constexpr const char* kWebAddress = "www.orvantis.example";
inline constexpr const char* kLogoFile = "logoOV.bmp";
inline constexpr unsigned kHeaderColour = 0x0080FF;

void BuildBranding(Program& program);
void AddBrandText(Program& program, const QString& text, int left, int top, int pointSize,
                  QColor background, QColor textColour);

}  // namespace shell
