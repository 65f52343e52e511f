#pragma once

#include <QString>

// The two boxes of the program. ShowMessage is captioned with the
// application title ("Orvanto"); MessageDlg is the warning box, captioned
// "Warning". Both have one "OK" button and are centred on the screen.
void ShowMessage(const QString& text);

enum class TMsgDlgType { mtWarning };
void MessageDlg(const QString& text, TMsgDlgType kind = TMsgDlgType::mtWarning);
