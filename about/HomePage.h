#pragma once

class QWidget;

// Opens the maker's product page in the user's browser, owned by `owner`.
// Whether a browser started is not looked at.
void openHomePage(QWidget* owner);
