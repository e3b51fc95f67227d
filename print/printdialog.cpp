#include "printdialog.h"

#include "base/settingsstore.h"
#include "print/core/printlayout.h"
#include "print/picturereader.h"
#include "print/printfont.h"
#include "print/printpreviewworker.h"
#include "resources/qtstrings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace kamelo {

namespace {

// The preview box (control 1064): grey, the paper image where the preview
// frame puts it.
class PreviewBox : public QWidget {
public:
    using QWidget::QWidget;
    void setImage(const QImage& image, const PixelRect& paper) {
        image_ = image;
        paper_ = paper;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
        if (!image_.isNull())
            p.drawImage(QPoint(paper_.left, paper_.top), image_);
    }

private:
    QImage image_;
    PixelRect paper_;
};

constexpr QSize kPreviewSize(300, 380);

QString mmText(int mm) {
    return QString::asprintf("%.1f mm", double(mm));
}

} // namespace

PrintDialog::PrintDialog(std::vector<std::string> files, const PrinterPage& page,
                         SettingsStore* store, std::shared_ptr<PictureReader> reader,
                         QWidget* parent)
    : QDialog(parent), printerPage_(page), store_(store) {
    job_.files = std::move(files);
    if (store_)
        job_.settings.load(*store_);
    else
        job_.settings.faceName = std::string(res::text(res::IDS_FONT_GULIM));
    job_.settings.clampToPage(page.geometry);
    worker_ = std::make_unique<PrintPreviewWorker>(reader ? reader
                                                          : std::make_shared<FilePictureReader>());
    connect(worker_.get(), &PrintPreviewWorker::rendered, this,
            [this](quint64 g, const QImage& image, const QStringList&) { showPreview(g, image); });
    setWindowTitle(res::qtext(res::IDS_PRINT_BUTTON));
    build();
    loadControls();
    changed();
}

PrintDialog::~PrintDialog() = default;

int PrintDialog::pageCount() const {
    return job_.pageCount(printerPage_.geometry);
}

void PrintDialog::build() {
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(buildInfo());
    wholeRadio_ = new QRadioButton(res::qtext(res::IDS_PRINT_WHOLE_PAGE), this);
    wholeRadio_->setObjectName(QStringLiteral("radioWhole"));
    sheetRadio_ = new QRadioButton(res::qtext(res::IDS_PRINT_MULTIPLE), this);
    sheetRadio_->setObjectName(QStringLiteral("radioSheet"));
    auto* modes = new QHBoxLayout;
    modes->addWidget(wholeRadio_);
    modes->addWidget(sheetRadio_);
    left->addLayout(modes);
    wholeBox_ = buildWholePage();
    sheetBox_ = buildSheet();
    left->addWidget(wholeBox_);
    left->addWidget(sheetBox_);
    left->addWidget(buildCommon());
    left->addStretch(1);
    top->addLayout(left);
    top->addWidget(buildPreview());
    connect(wholeRadio_, &QRadioButton::toggled, this, [this] { changed(); });
}

QWidget* PrintDialog::buildInfo() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    // The printer and its paper can be chosen; the rest follows them.
    printerChoice_ = new QComboBox(box);
    paperChoice_ = new QComboBox(box);
    orientationLabel_ = new QLabel(box);
    widthLabel_ = new QLabel(box);
    heightLabel_ = new QLabel(box);
    const std::pair<int, QWidget*> rows[] = {{res::IDS_PRINT_PRINTER, printerChoice_},
                                             {res::IDS_PRINT_PAPER_TYPE, paperChoice_},
                                             {res::IDS_PRINT_ORIENTATION, orientationLabel_},
                                             {res::IDS_PRINT_PAPER_WIDTH, widthLabel_},
                                             {res::IDS_PRINT_PAPER_HEIGHT, heightLabel_}};
    int r = 0;
    for (const auto& [id, value] : rows) {
        auto* label = new QLabel(res::qtext(id), box);
        label->setBuddy(value);
        grid->addWidget(label, r, 0);
        value->setObjectName(QStringLiteral("info%1").arg(id));
        grid->addWidget(value, r++, 1);
    }
    printerChoice_->addItem(printerPage_.printerName);
    paperChoice_->addItem(printerPage_.formName, printerPage_.paperKey);
    printerChoice_->setEnabled(false);
    paperChoice_->setEnabled(false);
    connect(printerChoice_, &QComboBox::activated, this,
            [this] { choosePage(printerChoice_->currentText(), {}); });
    connect(paperChoice_, &QComboBox::activated, this, [this] {
        choosePage(printerPage_.printerName, paperChoice_->currentData().toString());
    });
    showPage();
    return box;
}

void PrintDialog::showPage() {
    const PageGeometry& g = printerPage_.geometry;
    orientationLabel_->setText(
        res::qtext(g.landscape ? res::IDS_PRINT_LANDSCAPE : res::IDS_PRINT_PORTRAIT));
    widthLabel_->setText(mmText(g.paperWidthMm));
    heightLabel_->setText(mmText(g.paperHeightMm));
}

void PrintDialog::setPageSource(std::shared_ptr<PageGeometrySource> source) {
    source_ = std::move(source);
    if (!source_)
        return;
    const QSignalBlocker blocker(printerChoice_);
    QStringList names = source_->printers();
    if (!names.contains(printerPage_.printerName))
        names.prepend(printerPage_.printerName);
    printerChoice_->clear();
    printerChoice_->addItems(names);
    printerChoice_->setCurrentText(printerPage_.printerName);
    printerChoice_->setEnabled(names.size() > 1);
    fillPapers();
}

void PrintDialog::fillPapers() {
    const QSignalBlocker blocker(paperChoice_);
    paperChoice_->clear();
    if (source_)
        for (const auto& [key, name] : source_->papers(printerPage_.printerName))
            paperChoice_->addItem(name, key);
    int at = paperChoice_->findData(printerPage_.paperKey);
    if (at < 0) {
        paperChoice_->addItem(printerPage_.formName, printerPage_.paperKey);
        at = paperChoice_->count() - 1;
    }
    paperChoice_->setCurrentIndex(at);
    paperChoice_->setEnabled(paperChoice_->count() > 1);
}

// Another printer or paper: the page, the limits and the preview follow.
void PrintDialog::choosePage(const QString& printer, const QString& paperKey) {
    const std::optional<PrinterPage> page =
        source_ ? source_->page(printer, paperKey) : std::nullopt;
    if (!page) {
        setPageSource(source_); // the lists as they are now, the page as it was
        return;
    }
    const bool otherPrinter = page->printerName != printerPage_.printerName;
    printerPage_ = *page;
    showPage();
    if (otherPrinter)
        fillPapers();
    else
        paperChoice_->setCurrentIndex(std::max(0, paperChoice_->findData(page->paperKey)));
    job_.settings.clampToPage(printerPage_.geometry);
    loadControls();
    changed();
}

QWidget* PrintDialog::buildWholePage() {
    auto* box = new QWidget(this);
    box->setObjectName(QStringLiteral("wholePageControls"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const int texts[6] = {res::IDS_PRINT_FIT_TO_PAPER, res::IDS_PRINT_SIZE_3X5,
                          res::IDS_PRINT_SIZE_4X6,     res::IDS_PRINT_SIZE_5X7,
                          res::IDS_PRINT_SIZE_10X8,    res::IDS_PRINT_CUSTOM};
    auto* group = new QButtonGroup(box);
    for (int i = 0; i < 6; ++i) {
        sizeRadios_[i] = new QRadioButton(res::qtext(texts[i]), box);
        sizeRadios_[i]->setObjectName(QStringLiteral("size%1").arg(i));
        group->addButton(sizeRadios_[i], i);
        grid->addWidget(sizeRadios_[i], i, 0, 1, 4);
    }
    auto makeSize = [box](const char* name) {
        auto* s = new QDoubleSpinBox(box);
        s->setObjectName(QLatin1String(name));
        s->setDecimals(1);
        s->setRange(0, 2000);
        return s;
    };
    userWidth_ = makeSize("userWidth");
    userHeight_ = makeSize("userHeight");
    grid->addWidget(new QLabel(res::qtext(res::IDS_PRINT_WIDTH_MM), box), 6, 0);
    grid->addWidget(userWidth_, 6, 1);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PRINT_HEIGHT_MM), box), 6, 2);
    grid->addWidget(userHeight_, 6, 3);
    connect(group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            changed();
    });
    for (QDoubleSpinBox* s : {userWidth_, userHeight_})
        connect(s, &QDoubleSpinBox::valueChanged, this, [this] { changed(); });
    return box;
}

QWidget* PrintDialog::buildSheet() {
    auto* box = new QWidget(this);
    box->setObjectName(QStringLiteral("sheetControls"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    auto slider = [box](const char* name) {
        auto* s = new QSlider(Qt::Horizontal, box);
        s->setObjectName(QLatin1String(name));
        s->setPageStep(1);
        return s;
    };
    columns_ = slider("columns");
    rows_ = slider("rows");
    columnsLabel_ = new QLabel(box);
    columnsLabel_->setObjectName(QStringLiteral("columnsLabel"));
    rowsLabel_ = new QLabel(box);
    rowsLabel_->setObjectName(QStringLiteral("rowsLabel"));
    grid->addWidget(columns_, 0, 0, 1, 3);
    grid->addWidget(columnsLabel_, 0, 3);
    grid->addWidget(rows_, 1, 0, 1, 3);
    grid->addWidget(rowsLabel_, 1, 3);
    auto spin = [box](const char* name) {
        auto* s = new QSpinBox(box);
        s->setObjectName(QLatin1String(name));
        s->setSuffix(QStringLiteral(" ") + res::qtext(res::IDS_PRINT_MM));
        return s;
    };
    horzSpace_ = spin("horzSpace");
    vertSpace_ = spin("vertSpace");
    horzFrameMargin_ = spin("horzFrameMargin");
    vertFrameMargin_ = spin("vertFrameMargin");
    grid->addWidget(new QLabel(res::qtext(res::IDS_PRINT_HORZ_SPACE), box), 2, 0);
    grid->addWidget(horzSpace_, 2, 1);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PRINT_VERT_SPACE), box), 2, 2);
    grid->addWidget(vertSpace_, 2, 3);
    frame_ = new QCheckBox(res::qtext(res::IDS_PRINT_FRAME), box);
    frame_->setObjectName(QStringLiteral("frame"));
    frameColour_ = new QPushButton(res::qtext(res::IDS_PRINT_FRAME_COLOUR), box);
    frameColour_->setObjectName(QStringLiteral("frameColour"));
    grid->addWidget(frame_, 3, 0, 1, 2);
    grid->addWidget(frameColour_, 3, 2, 1, 2);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PRINT_HORZ_FRAME_MARGIN), box), 4, 0);
    grid->addWidget(horzFrameMargin_, 4, 1);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PRINT_VERT_FRAME_MARGIN), box), 4, 2);
    grid->addWidget(vertFrameMargin_, 4, 3);
    edge_ = new QComboBox(box);
    edge_->setObjectName(QStringLiteral("edge"));
    edge_->addItem(res::qtext(res::IDS_PRINT_NONE));
    edge_->addItem(res::qtext(res::IDS_PRINT_LINE));
    grid->addWidget(new QLabel(res::qtext(res::IDS_PRINT_EDGE), box), 5, 0);
    grid->addWidget(edge_, 5, 1);
    for (QSlider* s : {columns_, rows_})
        connect(s, &QSlider::valueChanged, this, [this] { changed(); });
    for (QSpinBox* s : {horzSpace_, vertSpace_, horzFrameMargin_, vertFrameMargin_})
        connect(s, &QSpinBox::valueChanged, this, [this] { changed(); });
    connect(frame_, &QCheckBox::toggled, this, [this] { changed(); });
    connect(edge_, &QComboBox::currentIndexChanged, this, [this] { changed(); });
    connect(frameColour_, &QPushButton::clicked, this,
            [this] { chooseColour(job_.settings.thumbnailFrameColor); });
    return box;
}

QWidget* PrintDialog::buildCommon() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const int labels[4] = {res::IDS_PRINT_LEFT_MARGIN, res::IDS_PRINT_TOP_MARGIN,
                           res::IDS_PRINT_RIGHT_MARGIN, res::IDS_PRINT_BOTTOM_MARGIN};
    const char* names[4] = {"leftMargin", "topMargin", "rightMargin", "bottomMargin"};
    for (int i = 0; i < 4; ++i) {
        margins_[i] = new QSpinBox(box);
        margins_[i]->setObjectName(QLatin1String(names[i]));
        margins_[i]->setRange(0, PrintSettings::kMaxMarginMm);
        margins_[i]->setSuffix(QStringLiteral(" ") + res::qtext(res::IDS_PRINT_MM));
        grid->addWidget(new QLabel(res::qtext(labels[i]), box), i / 2, (i % 2) * 2);
        grid->addWidget(margins_[i], i / 2, (i % 2) * 2 + 1);
        connect(margins_[i], &QSpinBox::valueChanged, this, [this] { changed(); });
    }
    drawCaption_ = new QCheckBox(res::qtext(res::IDS_PRINT_CAPTION_TEXT), box);
    drawCaption_->setObjectName(QStringLiteral("drawCaption"));
    caption_ = new QComboBox(box);
    caption_->setObjectName(QStringLiteral("caption"));
    caption_->setEditable(true);
    caption_->setInsertPolicy(QComboBox::NoInsert);
    caption_->addItem(res::qtext(res::IDS_PRINT_TOKEN_FILE_NAME));
    caption_->addItem(res::qtext(res::IDS_PRINT_TOKEN_DATE_TAKEN));
    drawHeader_ = new QCheckBox(res::qtext(res::IDS_PRINT_HEADER), box);
    drawHeader_->setObjectName(QStringLiteral("drawHeader"));
    header_ = new QLineEdit(box);
    header_->setObjectName(QStringLiteral("header"));
    drawFooter_ = new QCheckBox(res::qtext(res::IDS_PRINT_FOOTER), box);
    drawFooter_->setObjectName(QStringLiteral("drawFooter"));
    footer_ = new QLineEdit(box);
    footer_->setObjectName(QStringLiteral("footer"));
    grid->addWidget(drawCaption_, 2, 0);
    grid->addWidget(caption_, 2, 1, 1, 3);
    grid->addWidget(drawHeader_, 3, 0);
    grid->addWidget(header_, 3, 1, 1, 3);
    grid->addWidget(drawFooter_, 4, 0);
    grid->addWidget(footer_, 4, 1, 1, 3);
    fontButton_ = new QPushButton(res::qtext(res::IDS_PRINT_FONT_SETTINGS), box);
    fontButton_->setObjectName(QStringLiteral("fontButton"));
    fontColour_ = new QPushButton(res::qtext(res::IDS_PRINT_FONT_COLOUR), box);
    fontColour_->setObjectName(QStringLiteral("fontColour"));
    grid->addWidget(fontButton_, 5, 0, 1, 2);
    grid->addWidget(fontColour_, 5, 2, 1, 2);
    for (QCheckBox* c : {drawCaption_, drawHeader_, drawFooter_})
        connect(c, &QCheckBox::toggled, this, [this] { changed(); });
    connect(caption_, &QComboBox::editTextChanged, this, [this] { changed(); });
    for (QLineEdit* e : {header_, footer_})
        connect(e, &QLineEdit::textChanged, this, [this] { changed(); });
    connect(fontButton_, &QPushButton::clicked, this, [this] { chooseFont(); });
    connect(fontColour_, &QPushButton::clicked, this,
            [this] { chooseColour(job_.settings.fontColor); });
    return box;
}

QWidget* PrintDialog::buildPreview() {
    auto* box = new QWidget(this);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    previewBox_ = new PreviewBox(box);
    previewBox_->setObjectName(QStringLiteral("preview1064"));
    previewBox_->setFixedSize(kPreviewSize);
    v->addWidget(previewBox_);
    auto* paging = new QHBoxLayout;
    prevPage_ = new QPushButton(res::qtext(res::IDS_PRINT_PREV_PAGE), box);
    prevPage_->setObjectName(QStringLiteral("prevPage"));
    nextPage_ = new QPushButton(res::qtext(res::IDS_PRINT_NEXT_PAGE), box);
    nextPage_->setObjectName(QStringLiteral("nextPage"));
    pageLabel_ = new QLabel(box);
    pageLabel_->setObjectName(QStringLiteral("pageLabel"));
    pageLabel_->setAlignment(Qt::AlignCenter);
    paging->addWidget(prevPage_);
    paging->addWidget(pageLabel_, 1);
    paging->addWidget(nextPage_);
    v->addLayout(paging);
    auto* buttons = new QHBoxLayout;
    printButton_ = new QPushButton(res::qtext(res::IDS_PRINT_BUTTON), box);
    printButton_->setObjectName(QStringLiteral("printButton"));
    printButton_->setDefault(true);
    cancelButton_ = new QPushButton(res::qtext(res::IDS_CANCEL), box);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    buttons->addStretch(1);
    buttons->addWidget(printButton_);
    buttons->addWidget(cancelButton_);
    v->addLayout(buttons);
    v->addStretch(1);
    connect(prevPage_, &QPushButton::clicked, this, [this] { turnPage(-1); });
    connect(nextPage_, &QPushButton::clicked, this, [this] { turnPage(1); });
    connect(printButton_, &QPushButton::clicked, this, &PrintDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &PrintDialog::reject);
    return box;
}

void PrintDialog::loadControls() {
    loading_ = true;
    const PrintSettings& s = job_.settings;
    (s.sheet() ? sheetRadio_ : wholeRadio_)->setChecked(true);
    sizeRadios_[static_cast<int>(s.size)]->setChecked(true);
    userWidth_->setValue(s.userWidth);
    userHeight_->setValue(s.userHeight);
    updateLimits();
    columns_->setValue(s.columnCount);
    rows_->setValue(s.rowCount);
    horzSpace_->setValue(s.horzSpace);
    vertSpace_->setValue(s.vertSpace);
    frame_->setChecked(s.thumbnailFrame != 0);
    horzFrameMargin_->setValue(s.horzFrameMargin);
    vertFrameMargin_->setValue(s.vertFrameMargin);
    edge_->setCurrentIndex(s.frameEdge);
    const int margins[4] = {s.leftMargin, s.topMargin, s.rightMargin, s.bottomMargin};
    for (int i = 0; i < 4; ++i)
        margins_[i]->setValue(margins[i]);
    drawCaption_->setChecked(s.drawCaption != 0);
    caption_->setEditText(QString::fromStdString(s.caption));
    drawHeader_->setChecked(s.drawHeader != 0);
    header_->setText(QString::fromStdString(s.header));
    drawFooter_->setChecked(s.drawFooter != 0);
    footer_->setText(QString::fromStdString(s.footer));
    loading_ = false;
}

void PrintDialog::readControls() {
    PrintSettings& s = job_.settings;
    s.radioSheet = sheetRadio_->isChecked() ? 1 : 0;
    for (int i = 0; i < 6; ++i)
        if (sizeRadios_[i]->isChecked())
            s.size = static_cast<PrintSize>(i);
    s.userWidth = userWidth_->value();
    s.userHeight = userHeight_->value();
    s.columnCount = columns_->value();
    s.rowCount = rows_->value();
    s.horzSpace = horzSpace_->value();
    s.vertSpace = vertSpace_->value();
    s.thumbnailFrame = frame_->isChecked() ? 1 : 0;
    s.horzFrameMargin = horzFrameMargin_->value();
    s.vertFrameMargin = vertFrameMargin_->value();
    s.frameEdge = edge_->currentIndex() == 0 ? 0 : 1;
    s.leftMargin = margins_[0]->value();
    s.topMargin = margins_[1]->value();
    s.rightMargin = margins_[2]->value();
    s.bottomMargin = margins_[3]->value();
    s.drawCaption = drawCaption_->isChecked() ? 1 : 0;
    s.caption = caption_->currentText().toStdString();
    s.drawHeader = drawHeader_->isChecked() ? 1 : 0;
    s.header = header_->text().toStdString();
    s.drawFooter = drawFooter_->isChecked() ? 1 : 0;
    s.footer = footer_->text().toStdString();
}

// The ranges of the grid controls follow the page and each other.
void PrintDialog::updateLimits() {
    const bool was = loading_;
    loading_ = true;
    const PrintLayout layout(job_.settings, printerPage_.geometry);
    columns_->setRange(1, layout.maxColumns());
    rows_->setRange(1, layout.maxRows());
    horzSpace_->setRange(0, layout.maxHorzSpace());
    vertSpace_->setRange(0, layout.maxVertSpace());
    horzFrameMargin_->setRange(0, static_cast<int>(layout.maxHorzFrameMargin()));
    vertFrameMargin_->setRange(0, static_cast<int>(layout.maxVertFrameMargin()));
    loading_ = was;
}

void PrintDialog::changed() {
    if (loading_)
        return;
    readControls();
    updateLimits();
    // A range change may have moved a value.
    readControls();
    const bool sheet = job_.settings.sheet();
    wholeBox_->setVisible(!sheet);
    sheetBox_->setVisible(sheet);
    const bool custom = job_.settings.size == PrintSize::Custom;
    userWidth_->setEnabled(custom);
    userHeight_->setEnabled(custom);
    columnsLabel_->setText(
        QString::fromStdString(res::format(res::IDS_PRINT_COLUMNS, job_.settings.columnCount)));
    rowsLabel_->setText(
        QString::fromStdString(res::format(res::IDS_PRINT_ROWS, job_.settings.rowCount)));
    page_ = std::clamp(page_, 1, std::max(1, pageCount()));
    requestPreview();
}

void PrintDialog::requestPreview() {
    const int count = std::max(1, pageCount());
    pageLabel_->setText(QStringLiteral("%1/%2").arg(page_).arg(count));
    prevPage_->setEnabled(page_ > 1);
    nextPage_->setEnabled(page_ < count);
    PrintJob shown = job_;
    // Settings that leave no room show the empty paper.
    if (checkPrintable(shown.settings, printerPage_.geometry))
        shown.files.clear();
    worker_->request(shown, printerPage_.geometry, page_, kPreviewSize);
}

void PrintDialog::showPreview(quint64 generation, const QImage& image) {
    if (generation != worker_->generation())
        return;
    shown_ = generation;
    preview_ = image;
    static_cast<PreviewBox*>(previewBox_)
        ->setImage(
            image,
            previewFrame(kPreviewSize.width(), kPreviewSize.height(), printerPage_.geometry).paper);
}

void PrintDialog::turnPage(int delta) {
    const int next = std::clamp(page_ + delta, 1, std::max(1, pageCount()));
    if (next == page_)
        return;
    page_ = next;
    requestPreview();
}

void PrintDialog::chooseFont() {
    PrintSettings& s = job_.settings;
    QFont current = PrintFont::font(s, 72);
    current.setPointSizeF(s.fontHeight / 20.0);
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, current, this);
    if (!ok)
        return;
    s.faceName = f.family().toStdString();
    s.fontHeight = std::clamp(static_cast<int>(std::lround(f.pointSizeF() * 20)), 20, 2000);
    s.bold = f.bold() ? 1 : 0;
    s.italic = f.italic() ? 1 : 0;
    s.underline = f.underline() ? 1 : 0;
    s.strikeout = f.strikeOut() ? 1 : 0;
    changed();
}

void PrintDialog::chooseColour(uint32_t& value) {
    const QColor c = QColorDialog::getColor(PrintFont::color(value), this);
    if (!c.isValid())
        return;
    value = PrintFont::toBgr(c);
    changed();
}

void PrintDialog::accept() {
    readControls();
    if (const PrintRefusal r = checkPrintable(job_.settings, printerPage_.geometry)) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(refusalMessage(r)));
        return;
    }
    // The preview must not hold the pictures while the job prints.
    worker_->stop();
    preview_ = QImage();
    static_cast<PreviewBox*>(previewBox_)->setImage({}, {});
    if (store_)
        job_.settings.save(*store_);
    QDialog::accept();
}

} // namespace kamelo
