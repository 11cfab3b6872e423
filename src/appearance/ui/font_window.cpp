#include "appearance/ui/font_window.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace korvex::appearance {

namespace {

QColor toColour(std::uint32_t value) {
    return QColor(redOf(value), greenOf(value), blueOf(value));
}

std::uint32_t toValue(const QColor& c) {
    return colourValue(c.red(), c.green(), c.blue());
}

}  // namespace

FontWindow::FontWindow(FontEditor& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("SKIN"));
    setModal(false);
    QFont dialogFont(QStringLiteral("Noto Sans CJK JP"));
    dialogFont.setPointSize(9);
    setFont(dialogFont);
    chooseColour = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, this, QString());
        if (!chosen.isValid()) return std::nullopt;
        return chosen;
    };

    auto* outer = new QVBoxLayout(this);
    heading_ = new QLabel(QStringLiteral("フォント設定"));
    QFont bold = dialogFont;
    bold.setBold(true);
    bold.setPointSize(10);
    heading_->setFont(bold);
    outer->addWidget(heading_);

    auto* columns = new QHBoxLayout;
    outer->addLayout(columns);

    // Left: the areas, the font list, the size box and the buttons.
    auto* left = new QVBoxLayout;
    auto* areas = new QGroupBox;
    auto* areaLayout = new QHBoxLayout(areas);
    auto* group = new QButtonGroup(this);
    const QString captions[] = {QStringLiteral("メインディスプレイ"), QStringLiteral("サンプラー"),
                                QStringLiteral("リストボックス")};
    for (int a = 0; a < 3; ++a) {
        font_[a] = new QRadioButton(captions[a]);
        font_[a]->setObjectName(QStringLiteral("Font%1").arg(a));
        group->addButton(font_[a], a);
        areaLayout->addWidget(font_[a]);
        QObject::connect(font_[a], &QRadioButton::clicked, this, [this, a] {
            model_.areaClick(a);
            showState();
        });
    }
    left->addWidget(areas);
    list1_ = new QListWidget;
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setMinimumSize(240, 170);
    left->addWidget(list1_);
    QObject::connect(list1_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        model_.fontNameClick(item->text());
        showState();
    });

    auto* size = new QHBoxLayout;
    size->addWidget(new QLabel(QStringLiteral("フォントサイズ")));
    fontsize1_ = new QLineEdit;
    fontsize1_->setObjectName(QStringLiteral("fontsize1"));
    fontsize1_->setFixedWidth(48);
    fontsize1_->setMaxLength(6);
    size->addWidget(fontsize1_);
    size->addStretch(1);
    left->addLayout(size);
    QObject::connect(fontsize1_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.sizeChange(text);
        showState();
    });

    auto* buttons = new QHBoxLayout;
    foncolor_ = new QPushButton(QStringLiteral("Fontカラー"));
    backcolor1_ = new QPushButton(QStringLiteral("Backカラー"));
    command3_ = new QPushButton(QStringLiteral("保存"));
    fontdedalt_ = new QPushButton(QStringLiteral("デフォルト"));
    for (QPushButton* b : {foncolor_, backcolor1_, command3_, fontdedalt_}) buttons->addWidget(b);
    left->addLayout(buttons);
    QObject::connect(foncolor_, &QPushButton::clicked, this, [this] { chooseFontColour(); });
    QObject::connect(backcolor1_, &QPushButton::clicked, this, [this] { chooseBackColour(); });
    QObject::connect(command3_, &QPushButton::clicked, this, [this] {
        model_.saveClick();
        showState();
    });
    QObject::connect(fontdedalt_, &QPushButton::clicked, this, [this] {
        model_.defaultClick();
        showState();
    });
    columns->addLayout(left, 3);

    // Right: the preview and the skins.
    auto* right = new QVBoxLayout;
    preview_ = new QLabel(QStringLiteral("Korvex"));
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFixedSize(200, 86);
    preview_->setAutoFillBackground(true);
    right->addWidget(preview_);
    sizeLabel_ = new QLabel;
    sizeLabel_->setAlignment(Qt::AlignRight);
    right->addWidget(sizeLabel_);
    auto* skinRow = new QHBoxLayout;
    skinRow->addWidget(new QLabel(QStringLiteral("スキン選択")));
    skinRow->addStretch(1);
    skinLabel_ = new QLabel;
    skinRow->addWidget(skinLabel_);
    right->addLayout(skinRow);
    list2_ = new QListWidget;
    list2_->setObjectName(QStringLiteral("List2"));
    list2_->setFixedWidth(200);
    right->addWidget(list2_, 1);
    QObject::connect(list2_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        model_.skinClick(item->text());
        showState();
    });
    columns->addLayout(right, 2);

    model_.open();
    list2_->addItems(model_.skins());
    showState();
}

void FontWindow::chooseFontColour() {
    if (!chooseColour) return;
    if (const auto chosen = chooseColour(toColour(model_.fontColour())))
        model_.fontColourChosen(toValue(*chosen));
    showState();
}

void FontWindow::chooseBackColour() {
    if (!chooseColour) return;
    if (const auto chosen = chooseColour(toColour(model_.backColour())))
        model_.backColourChosen(toValue(*chosen));
    showState();
}

void FontWindow::showState() {
    heading_->setText(model_.heading());
    skinLabel_->setText(model_.skinLabel());
    if (list1_->count() == 0 && !model_.fontNames().isEmpty()) list1_->addItems(model_.fontNames());
    const bool edit = model_.editEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{list1_, fontsize1_, foncolor_, command3_, fontdedalt_})
        w->setEnabled(edit);
    backcolor1_->setEnabled(model_.backColourEnabled());
    if (fontsize1_->text() != model_.sizeText()) fontsize1_->setText(model_.sizeText());

    const FontPreview& p = model_.preview();
    QFont font(p.name.isEmpty() ? QStringLiteral("Noto Sans CJK JP") : p.name);
    font.setPointSizeF(p.size);
    preview_->setFont(font);
    QPalette palette = preview_->palette();
    palette.setColor(QPalette::WindowText, toColour(p.colour));
    palette.setColor(QPalette::Window, toColour(p.background));
    preview_->setPalette(palette);
    sizeLabel_->setText(model_.sizeLabel());
}

}  // namespace korvex::appearance
