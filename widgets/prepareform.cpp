#include "widgets/prepareform.h"

#include <QWidget>

namespace {
QString &activeStyleName()
{
    static QString name = QStringLiteral("Windows");
    return name;
}
} // namespace

QString ActiveVisualStyleName()
{
    return activeStyleName();
}

void SetActiveVisualStyleName(const QString &name)
{
    activeStyleName() = name;
}

void PrepareForm(QWidget *form)
{
    if (form && ActiveVisualStyleName() != QLatin1String("Windows"))
        form->resize(form->width() + 10, form->height());
}
