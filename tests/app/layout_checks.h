#pragma once
// Checks of a rendered window: nothing visible is cut off or covered.
class QWidget;

namespace k8w::test {

// Every visible named control lies inside its parent and its text fits it.
void expectReadable(QWidget& root, const char* where);
// Visible named controls never overlap their visible siblings, except a
// control lying wholly over another one.
void expectApart(QWidget& root, const char* where);
// Every visible named list box shows its current item whole.
void expectChoicesShowWhole(QWidget& root, const char* where);

} // namespace k8w::test
