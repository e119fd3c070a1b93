#include "app/uchfinchform.h"
#include "core/datamodule/datamodule.h"
#include "app/forms.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/messagebox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

TYearSpinEdit::TYearSpinEdit(QWidget* parent) : QSpinBox(parent)
{
    setRange(1987, 2099);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    lineEdit()->setMaxLength(4);
}

QValidator::State TYearSpinEdit::validate(QString& text, int&) const
{
    static const QRegularExpression digits(QStringLiteral("^\\d{0,4}$"));
    if (!digits.match(text).hasMatch())
        return QValidator::Invalid;
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void TYearSpinEdit::clampTyped()
{
    bool ok = false;
    const int v = text().trimmed().toInt(&ok);
    if (ok)
        lineEdit()->setText(QString::number(std::clamp(v, minimum(), maximum())));
    interpretText();
}

void TYearSpinEdit::focusOutEvent(QFocusEvent* e)
{
    clampTyped();
    QSpinBox::focusOutEvent(e);
}

namespace {

QGroupBox* group(const QString& caption, QWidget* a, QWidget* b = nullptr)
{
    auto* g = new QGroupBox(caption);
    auto* l = new QHBoxLayout(g);
    l->setContentsMargins(6, 4, 6, 6);
    l->addWidget(a, 1);
    if (b)
        l->addWidget(b);
    return g;
}

} // namespace

TUchFinChForm::TUchFinChForm(QWidget* parent) : QDialog(parent, Qt::Tool)
{
    setObjectName("UchFinChForm");
    setWindowTitle(QStringLiteral("Настройки"));
    setModal(true);

    YearEdit = new TYearSpinEdit;
    YearEdit->setObjectName("YearEdit");
    YearEdit->setFixedWidth(70);
    UserNameEdit = new QLineEdit;
    UserNameEdit->setObjectName("UserNameEdit");
    UserNameEdit->setMaxLength(70);
    UserNameEdit->setToolTip(QStringLiteral("Должно быть различным для всех копий программы"));
    FinUchEdit = new QLineEdit;
    FinUchEdit->setObjectName("FinUchEdit");
    FinUchEdit->setMaxLength(70);
    DataBasePathEdit = new QLineEdit;
    DataBasePathEdit->setObjectName("DataBasePathEdit");
    BrowseButton = new QPushButton(QStringLiteral("&Обзор"));
    BrowseButton->setObjectName("BrowseButton");
    OkButton = new QPushButton(QStringLiteral("&Принять"));
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"));
    CancelButton->setObjectName("CancelButton");
    LocalBasePathEdit = new QLineEdit;
    LocalBasePathEdit->setObjectName("LocalBasePathEdit");
    BrowseButton1 = new QPushButton(QStringLiteral("&Обзор"));
    BrowseButton1->setObjectName("BrowseButton1");

    auto* yearRow = new QWidget;
    auto* yl = new QHBoxLayout(yearRow);
    yl->setContentsMargins(0, 0, 0, 0);
    yl->addWidget(YearEdit);
    yl->addStretch();

    auto* main = new QVBoxLayout(this);
    main->addWidget(group(QStringLiteral("Текущий год "), yearRow));
    main->addWidget(group(QStringLiteral("Имя пользователя"), UserNameEdit));
    main->addWidget(group(QStringLiteral("Наименование финансового органа"), FinUchEdit));
    main->addWidget(group(QStringLiteral("Полный путь к базе данных (локальный или сетевой)"), DataBasePathEdit, BrowseButton));
    main->addWidget(group(QStringLiteral("Полный путь к личному каталогу пользователя (обязат. локальный)"),
                          LocalBasePathEdit, BrowseButton1));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    main->addLayout(buttons);
    setFixedWidth(500);

    // The buttons stand at the bottom, but come before the local directory in tab order.
    QWidget* order[] = {YearEdit, UserNameEdit, FinUchEdit, DataBasePathEdit, BrowseButton,
                        OkButton, CancelButton, LocalBasePathEdit, BrowseButton1};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    openFileDialog = [](QWidget* parent, const QString& dir, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Открыть"), dir, filter);
    };
    connect(BrowseButton, &QPushButton::clicked, this, &TUchFinChForm::BrowseButtonClick);
    connect(BrowseButton1, &QPushButton::clicked, this, &TUchFinChForm::BrowseButton1Click);
    connect(OkButton, &QPushButton::clicked, this, &TUchFinChForm::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TUchFinChForm::CancelButtonClick);
    ui::installButtonKeys(this);
    FormCreate();
}

void TUchFinChForm::FormCreate()
{
    const config::Profile p(DataBase1 ? DataBase1->iniPath() : config::Profile::defaultPath());
    const QString m = QString::fromLatin1(config::keys::Main);
    FinUchEdit->setText(p.readString(m, config::keys::OrgName));
    DataBasePathEdit->setText(p.readString(m, config::keys::DataBaseDir, QStringLiteral("Base2003\\")));
    LocalBasePathEdit->setText(p.readString(m, config::keys::LocalBaseDir, QStringLiteral("Local\\")));
    UserNameEdit->setText(p.readString(m, config::keys::UserName, QStringLiteral("User1")));
    YearEdit->setValue(p.readInt(m, config::keys::Year, 2003));
}

int TUchFinChForm::YearValue() const
{
    bool ok = false;
    const int v = YearEdit->text().trimmed().toInt(&ok);
    return ok ? v : 1987;
}

void TUchFinChForm::browse(QLineEdit* edit)
{
    const QString start = dm::nativeDir(edit->text());
    const QString file = openFileDialog(this, start, QStringLiteral("База данных Сальдина (*.dbp)"));
    if (file.isEmpty())
        return;
    QString dir = QFileInfo(file).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    edit->setText(dir);
}

void TUchFinChForm::BrowseButtonClick() { browse(DataBasePathEdit); }

void TUchFinChForm::BrowseButton1Click() { browse(LocalBasePathEdit); }

void TUchFinChForm::OkButtonClick()
{
    YearEdit->clampTyped();   // a year still being typed counts as left
    dm::TDataBase1& d = *DataBase1;
    d.CloseDataBase();
    const config::Profile p(d.iniPath());
    const QString m = QString::fromLatin1(config::keys::Main);
    config::WriteFailure failure;
    const bool written = p.writeString(m, config::keys::OrgName, FinUchEdit->text(), nullptr, &failure) &&
                         p.writeString(m, config::keys::DataBaseDir, DataBasePathEdit->text(), nullptr, &failure) &&
                         p.writeString(m, config::keys::LocalBaseDir, LocalBasePathEdit->text(), nullptr, &failure) &&
                         p.writeString(m, config::keys::UserName, UserNameEdit->text(), nullptr, &failure) &&
                         p.writeInt(m, config::keys::Year, YearValue(), nullptr, &failure);
    if (!written)
        ui::showError(QStringLiteral("Настройки не сохранены. ") + config::russianText(failure));
    try {
        d.DataBaseCreate();
    } catch (const store::StoreError& e) {
        ui::showError(e.text());
    }
    accept();
}

void TUchFinChForm::CancelButtonClick() { reject(); }
