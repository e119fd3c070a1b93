#include "app/aboutform.h"
#include "version.h"
#include "core/ui/buttonkeys.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <cmath>

TAboutPicture::TAboutPicture(QWidget* parent) : QWidget(parent)
{
    setObjectName("Picture");
    setFixedSize(96, 96);
}

void TAboutPicture::showEvent(QShowEvent*)
{
    if (!timer_)
        timer_ = startTimer(60);
}

void TAboutPicture::hideEvent(QHideEvent*)
{
    if (timer_)
        killTimer(timer_);
    timer_ = 0;
}

void TAboutPicture::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != timer_)
        return;
    frame_ = (frame_ + 1) % 120;
    update();
}

// An open ledger whose balance sheet fills line by line while a coin turns above it.
void TAboutPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());
    // The book.
    const QRectF left(10, 44, 37, 44), right(49, 44, 37, 44);
    p.setPen(QPen(QColor(40, 60, 120), 1.5));
    p.setBrush(QColor(250, 248, 235));
    p.drawRect(left);
    p.drawRect(right);
    p.setPen(QPen(QColor(120, 140, 190), 1));
    const int lines = (frame_ / 8) % 9;
    for (int i = 0; i < 8; ++i) {
        const qreal y = 50 + i * 5;
        p.drawLine(QPointF(13, y), QPointF(44, y));
        p.drawLine(QPointF(52, y), QPointF(83, y));
    }
    p.setPen(QPen(QColor(20, 110, 40), 1.6));
    for (int i = 0; i < lines && i < 8; ++i) {
        const qreal y = 49 + i * 5;
        p.drawLine(QPointF(14, y), QPointF(14 + 10 + (i * 7) % 18, y));
        p.setPen(QPen(QColor(170, 30, 30), 1.6));
        p.drawLine(QPointF(53, y), QPointF(53 + 8 + (i * 5) % 20, y));
        p.setPen(QPen(QColor(20, 110, 40), 1.6));
    }
    // The turning coin: its width follows a cosine.
    const qreal phase = frame_ * 2 * M_PI / 40.0;
    const qreal w = std::max(2.0, 30 * std::fabs(std::cos(phase)));
    const QRectF coin(48 - w / 2, 6, w, 30);
    QRadialGradient g(coin.center(), 18);
    g.setColorAt(0, QColor(255, 230, 120));
    g.setColorAt(1, QColor(200, 150, 30));
    p.setPen(QPen(QColor(150, 100, 10), 1.2));
    p.setBrush(g);
    p.drawEllipse(coin);
    if (w > 14) {
        p.setPen(QColor(120, 80, 0));
        QFont f = font();
        f.setBold(true);
        f.setPixelSize(16);
        p.setFont(f);
        p.drawText(coin, Qt::AlignCenter, QStringLiteral("₽"));
    }
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutForm");
    setWindowTitle(QStringLiteral("О программе"));
    setModal(true);
    Picture = new TAboutPicture;
    auto* name = new QLabel(QStringLiteral("<b>Сальдина</b>"));
    QFont f = name->font();
    f.setPointSize(f.pointSize() + 4);
    name->setFont(f);
    VersionLabel = new QLabel(QStringLiteral("Версия ") + QStringLiteral(SALDINA_VERSION));
    VersionLabel->setObjectName("VersionLabel");
    auto* what = new QLabel(QStringLiteral("Учет средств на лицевых счетах\nфинансового органа"));
    LinkLabel = new QLabel(QStringLiteral("<a href=\"%1\">См. последнее обновление в Internet</a>").arg(SALDINA_WEB_PAGE));
    LinkLabel->setObjectName("LinkLabel");
    LinkLabel->setOpenExternalLinks(true);
    LinkLabel->setTextInteractionFlags(Qt::TextBrowserInteraction);
    OKButton = new QPushButton(QStringLiteral("OK"));
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(VersionLabel);
    text->addWidget(what);
    text->addSpacing(8);
    text->addWidget(LinkLabel);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(Picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(360, 170)));
    ui::installButtonKeys(this);
}
