#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/MessageBoxes.h"
#include "app/ProgressWindows.h"
#include "app/ScaleTableModel.h"
#include "app/VariableTableModel.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace app {
namespace {

QString indexed(const char* name, int i) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

QGroupBox* frame(const QString& objectName, const QString& caption, QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(objectName);
    return box;
}

QLineEdit* lineEdit(const QString& objectName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    return edit;
}

QComboBox* decimalPointList(const QString& objectName, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(objectName);
    for (int d = 0; d <= 5; ++d)
        list->addItem(QString::number(d));
    return list;
}

const char* const lumatrixRates[] = {"10 sec",  "20 sec",  "30 sec",  " 1 min",  " 2 min",
                                     " 5 min",  "10 min",  "30 min",  " 1 hour", " 2 hour",
                                     " 4 hour", " 6 hour", "12 hour", "24 hour"};
const char* const quorvaneRates[] = {" 10 sec",  " 20 sec",  " 30 sec ", "  1  min", "  2  min",
                                     "  5  min", "10  min",  "30  min",  "  1  hrs", "  2  hrs",
                                     "  4  hrs", "  6  hrs", "12  hrs",  "24  hrs"};

// The manuals live on the maker's server; the host is a placeholder until one is chosen.
const char* const manualHost = "https://manuals.example.invalid";

} // namespace

MainWindow::MainWindow(config::InstrumentKind kind, devlink::Port& port, QWidget* parent)
    : QMainWindow(parent), port_(port), model_(new config::ConfigModel(kind, this)) {
    setObjectName(QStringLiteral("Main"));

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->addWidget(buildPortFrame(), 0, 0);
    grid->addWidget(buildConfigFrame(), 0, 1);
    grid->addWidget(buildSetIntoFrame(), 0, 2);
    grid->addWidget(buildFileFrame(), 1, 0);
    grid->addWidget(buildTimeFrame(), 1, 1);
    grid->addWidget(buildRecordingFrame(), 1, 2);
    grid->addWidget(buildScaleTab(), 2, 0, 1, 3);
    grid->addWidget(buildQuorvaneFrame(), 3, 0, 1, 3);
    grid->addWidget(buildVariablesFrame(), 4, 0, 1, 3);
    setCentralWidget(central);
    buildMenus();
    statusBar()->setObjectName(QStringLiteral("statusBar"));

    for (const char* name : {"FramePort", "FrameTime", "FrameSetInto", "FrameFile", "FrameConfigFile",
                             "FrameQuorvane", "FrameRecording"})
        lockedFrames_.emplace_back(findChild<QWidget*>(QLatin1String(name)));

    // Set-up of a fresh window: the model has already been reset for the chosen instrument.
    applyInstrumentLayout();
    comport_[1]->setChecked(true);
    cmbPort_->setEnabled(false);
    cmbPort_->setCurrentIndex(-1);
    showPortDevice(1);

    connect(model_, &config::ConfigModel::changed, this, &MainWindow::refreshFromModel);
    refreshFromModel();
    for (auto& [command, entry] : commands_)
        updateCommandEnabled(command);
}

MainWindow::~MainWindow() = default;

int MainWindow::twips(int value) const {
    return qRound(value / 1440.0 * logicalDpiX());
}

// ---------------------------------------------------------------- building

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();

    mnuData_ = bar->addMenu(QStringLiteral("Data"));
    mnuData_->setObjectName(QStringLiteral("mnuData"));
    mnuData_->menuAction()->setObjectName(QStringLiteral("mnuData"));
    QAction* transfer = mnuData_->addAction(QStringLiteral("Transfer"));
    transfer->setObjectName(QStringLiteral("mnuDataTransfer"));
    commands_[Command::DataTransfer].control = transfer;
    connect(transfer, &QAction::triggered, this, [this] {
        if (auto& h = commands_[Command::DataTransfer].handler)
            h();
    });

    mnuAngle_ = bar->addMenu(QStringLiteral("Angle"));
    mnuAngle_->setObjectName(QStringLiteral("mnuAngle"));
    mnuAngle_->menuAction()->setObjectName(QStringLiteral("mnuAngle"));
    mnuDegrees_ = mnuAngle_->addAction(QStringLiteral("Degrees"));
    mnuDegrees_->setObjectName(QStringLiteral("mnuDegrees"));
    mnuDegrees_->setCheckable(true);
    mnuDegrees_->setChecked(true);
    mnuRadians_ = mnuAngle_->addAction(QStringLiteral("Radians"));
    mnuRadians_->setObjectName(QStringLiteral("mnuRadians"));
    mnuRadians_->setCheckable(true);
    connect(mnuDegrees_, &QAction::triggered, this, [this] {
        mnuDegrees_->setChecked(true);
        mnuRadians_->setChecked(false);
        emit angleUnitChanged(true);
    });
    connect(mnuRadians_, &QAction::triggered, this, [this] {
        mnuRadians_->setChecked(true);
        mnuDegrees_->setChecked(false);
        emit angleUnitChanged(false);
    });

    mnuService_ = bar->addAction(QStringLiteral("Service"));
    mnuService_->setObjectName(QStringLiteral("mnuService"));
    mnuService_->setVisible(false);
    commands_[Command::Service].control = mnuService_;
    connect(mnuService_, &QAction::triggered, this, [this] {
        if (auto& h = commands_[Command::Service].handler)
            h();
    });

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->menuAction()->setObjectName(QStringLiteral("mnuHelp"));
    QMenu* contents = help->addMenu(QStringLiteral("Contents"));
    contents->setObjectName(QStringLiteral("mnuContents"));
    contents->menuAction()->setObjectName(QStringLiteral("mnuContents"));
    QAction* italian = contents->addAction(QStringLiteral("Italiano"));
    italian->setObjectName(QStringLiteral("mnuItaliano"));
    connect(italian, &QAction::triggered, this, [this] { openManual(QStringLiteral("LUMATRIX_IT.pdf")); });
    QAction* english = contents->addAction(QStringLiteral("English"));
    english->setObjectName(QStringLiteral("mnuEnglish"));
    connect(english, &QAction::triggered, this, [this] { openManual(QStringLiteral("LUMATRIX_EN.pdf")); });

    QAction* about = bar->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);

    QAction* exit = bar->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
}

QAbstractButton* MainWindow::commandButton(Command command, const QString& objectName,
                                           const QString& caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(objectName);
    commands_[command].control = button;
    connect(button, &QPushButton::clicked, this, [this, command] {
        if (auto& h = commands_[command].handler)
            h();
    });
    return button;
}

QWidget* MainWindow::buildPortFrame() {
    QGroupBox* box = frame(QStringLiteral("FramePort"), QStringLiteral(" Port "), nullptr);
    auto* layout = new QGridLayout(box);
    comportGroup_ = new QButtonGroup(box);
    comport_.resize(5);
    for (int i = 0; i <= 4; ++i) {
        auto* option =
            new QRadioButton(i == 0 ? QStringLiteral("Other") : QStringLiteral("Com %1").arg(i), box);
        option->setObjectName(indexed("comport", i));
        comport_[i] = option;
        comportGroup_->addButton(option, i);
        connect(option, &QRadioButton::clicked, this, [this, i] { chooseComport(i); });
    }
    for (int i = 1; i <= 4; ++i)
        layout->addWidget(comport_[i], (i - 1) / 2, (i - 1) % 2);
    layout->addWidget(comport_[0], 2, 0);
    cmbPort_ = new QComboBox(box);
    cmbPort_->setObjectName(QStringLiteral("cmbPort"));
    for (int n = 5; n <= 255; ++n) {
        cmbPort_->addItem(QStringLiteral("Com %1").arg(n));
        cmbPort_->setItemData(n - 5, QString::fromStdString(port_.deviceName(n)), Qt::ToolTipRole);
    }
    layout->addWidget(cmbPort_, 2, 1);
    connect(cmbPort_, &QComboBox::activated, this, &MainWindow::choosePortListItem);
    for (int i = 1; i <= 4; ++i)
        comport_[i]->setToolTip(QString::fromStdString(port_.deviceName(i)));
    return box;
}

QWidget* MainWindow::buildConfigFrame() {
    QGroupBox* box = frame(QStringLiteral("FrameConfigFile"), QStringLiteral(" Configuration "), nullptr);
    auto* layout = new QGridLayout(box);
    layout->addWidget(commandButton(Command::ReadConfig, QStringLiteral("cmdReadConfig"),
                                    QStringLiteral("Get Configuration from Device")),
                      0, 0, 1, 2);
    layout->addWidget(commandButton(Command::Default, QStringLiteral("cmdDefault"),
                                    QStringLiteral("Insert default Configuration")),
                      1, 0, 1, 2);
    QAbstractButton* px = commandButton(Command::Px, QStringLiteral("cmdPx"), QString());
    px->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    px->setToolTip(QStringLiteral("Keypad presets"));
    layout->addWidget(px, 2, 0);
    auto* close = new QPushButton(box);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    close->setToolTip(QStringLiteral("Exit"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, 2, 1);
    return box;
}

QWidget* MainWindow::buildSetIntoFrame() {
    QGroupBox* box = frame(QStringLiteral("FrameSetInto"), QStringLiteral(" Set Into Panel "), nullptr);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(commandButton(Command::SetSingle, QStringLiteral("cmdSetSingle"),
                                    QStringLiteral("Set single scale into Lumatrix")));
    layout->addWidget(commandButton(Command::SetAll, QStringLiteral("cmdSetAll"),
                                    QStringLiteral("Set all scales into Lumatrix")));
    QAbstractButton* linear = commandButton(Command::SetLinear, QStringLiteral("cmdSetLinear"), QString());
    linear->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    linear->setToolTip(QStringLiteral("Send the linearization formula"));
    layout->addWidget(linear);
    return box;
}

QWidget* MainWindow::buildFileFrame() {
    QGroupBox* box = frame(QStringLiteral("FrameFile"), QStringLiteral("Setup File "), nullptr);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(commandButton(Command::Load, QStringLiteral("cmdLoad"),
                                    QStringLiteral("Load Configuration from file")));
    layout->addWidget(commandButton(Command::Save, QStringLiteral("cmdSave"),
                                    QStringLiteral("Save Configuration into file")));
    return box;
}

QWidget* MainWindow::buildTimeFrame() {
    QGroupBox* box = frame(QStringLiteral("FrameTime"), QStringLiteral(" Date / Time "), nullptr);
    auto* layout = new QGridLayout(box);
    auto* dateFormat = new QLabel(QStringLiteral("Date format:  dd-mm-yy"), box);
    dateFormat->setObjectName(QStringLiteral("lblDateFormat"));
    auto* timeFormat = new QLabel(QStringLiteral("Time format:  hh:mm:ss     "), box);
    timeFormat->setObjectName(QStringLiteral("lblTimeFormat"));
    QLineEdit* date = lineEdit(QStringLiteral("txtDate"), box);
    QLineEdit* time = lineEdit(QStringLiteral("txtTime"), box);
    bindText(date, [this]() -> QString& { return model_->date; });
    bindText(time, [this]() -> QString& { return model_->time; });
    layout->addWidget(dateFormat, 0, 0);
    layout->addWidget(date, 0, 1);
    layout->addWidget(timeFormat, 1, 0);
    layout->addWidget(time, 1, 1);
    layout->addWidget(
        commandButton(Command::GetTime, QStringLiteral("cmdGetTime"), QStringLiteral("Get Date && Time")), 2,
        0);
    layout->addWidget(
        commandButton(Command::SysTime, QStringLiteral("cmdSysTime"), QStringLiteral("Use System Time")), 2,
        1);
    layout->addWidget(commandButton(Command::SetTime, QStringLiteral("cmdSetTime"),
                                    QStringLiteral("Set clock in the unit")),
                      3, 0, 1, 2);
    return box;
}

QWidget* MainWindow::buildRecordingFrame() {
    QGroupBox* box = frame(QStringLiteral("FrameRecording"), QStringLiteral(" Set recording rate "), nullptr);
    auto* layout = new QGridLayout(box);
    cmbLumatrixRate_ = new QComboBox(box);
    cmbLumatrixRate_->setObjectName(QStringLiteral("cmbLumatrixRate"));
    for (const char* rate : lumatrixRates)
        cmbLumatrixRate_->addItem(QString::fromLatin1(rate));
    cmbLumatrixRate_->setCurrentIndex(-1);
    connect(cmbLumatrixRate_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (refreshing_ || model_->recordingOff)
            return;
        model_->lumatrixRateIndex = index;
        model_->notifyChanged();
    });
    lblNone_ = new QLabel(QStringLiteral("No Recording"), box);
    lblNone_->setObjectName(QStringLiteral("lblNone"));
    lblNone_->setVisible(false);

    recGroup_ = new QButtonGroup(box);
    auto* recA = new QRadioButton(QStringLiteral("A"), box);
    recA->setObjectName(indexed("optCHRec", 0));
    auto* recAB = new QRadioButton(QStringLiteral("A/B"), box);
    recAB->setObjectName(indexed("optCHRec", 2));
    recGroup_->addButton(recA, 0);
    recGroup_->addButton(recAB, 2);
    connect(recGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        model_->recChannel = id;
        model_->notifyChanged();
    });
    refreshers_.push_back([this] {
        const bool off = model_->recordingOff;
        cmbLumatrixRate_->setVisible(!off);
        cmbLumatrixRate_->setEnabled(!off);
        const int index = off ? -1 : model_->lumatrixRateIndex;
        if (cmbLumatrixRate_->currentIndex() != index)
            cmbLumatrixRate_->setCurrentIndex(index);
        lblNone_->setVisible(off);
        recGroup_->setExclusive(false);
        for (QAbstractButton* b : recGroup_->buttons()) {
            b->setEnabled(!off);
            b->setChecked(!off && recGroup_->id(b) == model_->recChannel);
        }
        recGroup_->setExclusive(true);
        updateCommandEnabled(Command::SetRec);
    });

    layout->addWidget(cmbLumatrixRate_, 0, 0, 1, 2);
    layout->addWidget(lblNone_, 1, 0, 1, 2);
    layout->addWidget(recA, 2, 0);
    layout->addWidget(recAB, 2, 1);
    layout->addWidget(commandButton(Command::GetRec, QStringLiteral("cmdGetRec"),
                                    QStringLiteral("Get Recording rate from Device")),
                      3, 0, 1, 2);
    layout->addWidget(commandButton(Command::SetRec, QStringLiteral("cmdSetRec"),
                                    QStringLiteral("Set Recording rate into Device")),
                      4, 0, 1, 2);
    return box;
}

QWidget* MainWindow::buildScaleTab() {
    scaleTab_ = new QTabWidget;
    scaleTab_->setObjectName(QStringLiteral("ScaleTab"));
    const int widths[5] = {1200, 2000, 2000, 1000, 1000};
    const char* const hints[5] = {"0 ... 5", "-99999 ... +99999", "-99999 ... +99999", "XXXX", "XXXX"};
    for (int g = 0; g < config::RangeCount; ++g) {
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        auto* view = new QTableView(page);
        view->setObjectName(indexed("DataGrid", g));
        auto* tableModel = new ScaleTableModel(*model_, g + 1, view);
        scaleModels_.push_back(tableModel);
        view->setModel(tableModel);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(twips(300));
        // A column is never narrower than its caption; the last one takes up what the tab has
        // left, so no empty band stays beside the grid.
        QHeaderView* header = view->horizontalHeader();
        for (int c = 0; c < 5; ++c)
            view->setColumnWidth(c, qMax(twips(widths[c]), header->sectionSizeHint(c)));
        header->setStretchLastSection(true);
        // All eight gain rows in sight without scrolling, and nothing below them.
        view->setFixedHeight(header->sizeHint().height() + view->verticalHeader()->length() +
                             2 * view->frameWidth());
        pageLayout->addWidget(view);

        auto* hintRow = new QHBoxLayout;
        hintRow->setSpacing(0);
        hintRow->addSpacing(view->verticalHeader()->sizeHint().width() + view->frameWidth());
        for (int c = 0; c < 5; ++c) {
            auto* hint = new QLabel(QString::fromLatin1(hints[c]), page);
            hint->setObjectName(indexed("lblHint", g * 5 + c));
            hint->setFixedWidth(view->columnWidth(c));
            hint->setAlignment(Qt::AlignCenter);
            hintRow->addWidget(hint);
            // Each hint stays under its column as the column follows the window's width.
            connect(header, &QHeaderView::sectionResized, hint, [hint, c](int section, int, int size) {
                if (section == c)
                    hint->setFixedWidth(size);
            });
        }
        hintRow->addStretch();
        pageLayout->addLayout(hintRow);
        scaleTab_->addTab(page, QStringLiteral("Scale ") + config::rangeName(g + 1));
    }
    refreshers_.push_back([this] {
        for (ScaleTableModel* m : scaleModels_)
            m->refresh();
    });
    return scaleTab_;
}

QWidget* MainWindow::buildQuorvaneFrame() {
    frameQuorvane_ = frame(QStringLiteral("FrameQuorvane"), QStringLiteral(" Quorvane Settings "), nullptr);
    auto* layout = new QVBoxLayout(frameQuorvane_);
    auto* tabs = new QTabWidget(frameQuorvane_);
    tabs->setObjectName(QStringLiteral("SSTab1"));
    tabs->addTab(buildChannelTab(1), QStringLiteral("Channel A"));
    tabs->addTab(buildChannelTab(2), QStringLiteral("Channel B"));
    tabs->addTab(buildCommonTab(), QStringLiteral(" Quorvane Settings "));
    layout->addWidget(tabs);
    return frameQuorvane_;
}

QWidget* MainWindow::buildChannelTab(int i) {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    auto text = [this, i](QGridLayout* g, int row, const QString& caption, const char* name,
                          QString config::FlowChannel::*member) {
        QLineEdit* edit = lineEdit(indexed(name, i), nullptr);
        bindText(edit, [this, i, member]() -> QString& { return model_->channel(i).*member; });
        g->addWidget(new QLabel(caption), row, 0);
        g->addWidget(edit, row, 1);
        return edit;
    };
    auto list = [this, i](QGridLayout* g, int row, const char* name, int config::FlowChannel::*member) {
        QComboBox* combo = decimalPointList(indexed(name, i), nullptr);
        bindList(combo, [this, i, member]() -> int& { return model_->channel(i).*member; });
        g->addWidget(new QLabel(QStringLiteral("Decimal Point")), row, 0);
        g->addWidget(combo, row, 1);
    };

    QGroupBox* ad = frame(indexed("FrameAD", i), QStringLiteral(" A/D Conversion "), page);
    auto* adLayout = new QGridLayout(ad);
    text(adLayout, 0, QStringLiteral("Start Scale"), "txtStartScale", &config::FlowChannel::startScale);
    text(adLayout, 1, QStringLiteral("End Scale"), "txtEndScale", &config::FlowChannel::endScale);
    list(adLayout, 2, "cmbDPAD", &config::FlowChannel::dpAD);
    text(adLayout, 3, QStringLiteral("Label"), "txtLabel", &config::FlowChannel::label);
    text(adLayout, 4, QStringLiteral("Unit"), "txtUnitAD", &config::FlowChannel::unitAD);

    QGroupBox* flow = frame(indexed("FrameFlow", i), QStringLiteral("Flow Conversion "), page);
    auto* flowLayout = new QGridLayout(flow);
    QLineEdit* formula =
        lineEdit(i == 1 ? QStringLiteral("txtFormula") : QStringLiteral("txtFormula2"), flow);
    bindText(formula, [this, i]() -> QString& { return model_->channel(i).formula; });
    flowLayout->addWidget(new QLabel(QStringLiteral("Flow equation")), 0, 0);
    flowLayout->addWidget(formula, 0, 1);
    text(flowLayout, 1, QStringLiteral("Divider factor"), "txtFactor", &config::FlowChannel::factor);
    text(flowLayout, 2, QStringLiteral("Offset"), "txtOffset", &config::FlowChannel::offset);
    list(flowLayout, 3, "cmbDP", &config::FlowChannel::dp);
    text(flowLayout, 4, QStringLiteral("Unit"), "txtUnit", &config::FlowChannel::unit);

    QGroupBox* tot = frame(indexed("FrameTOT", i), QStringLiteral(" Totalizer "), page);
    auto* totLayout = new QGridLayout(tot);
    text(totLayout, 0, QStringLiteral("Conversion factor"), "txtConvTOT", &config::FlowChannel::convTOT);
    list(totLayout, 1, "cmbDPTOT", &config::FlowChannel::dpTOT);
    text(totLayout, 2, QStringLiteral("Unit"), "txtUnitTOT", &config::FlowChannel::unitTOT);

    QGroupBox* lin = frame(indexed("FrameLinear", i), QStringLiteral(" Linearization "), page);
    auto* linLayout = new QGridLayout(lin);
    text(linLayout, 0, QStringLiteral("A"), "txtA", &config::FlowChannel::a);
    text(linLayout, 1, QStringLiteral("K"), "txtK", &config::FlowChannel::k);
    text(linLayout, 2, QStringLiteral("T"), "txtT", &config::FlowChannel::t);
    text(linLayout, 3, QStringLiteral("ZERO"), "txtZERO", &config::FlowChannel::zero);
    if (i == 1) {
        auto* text1 = new QPlainTextEdit(lin);
        text1->setObjectName(QStringLiteral("Text1"));
        text1->setMaximumHeight(twips(900));
        connect(text1, &QPlainTextEdit::textChanged, this, [this, text1] {
            if (refreshing_)
                return;
            model_->text1 = text1->toPlainText();
            model_->notifyChanged();
        });
        refreshers_.push_back([this, text1] {
            if (text1->toPlainText() != model_->text1)
                text1->setPlainText(model_->text1);
        });
        linLayout->addWidget(text1, 4, 0, 1, 2);
    }

    layout->addWidget(ad, 0, 0);
    layout->addWidget(flow, 0, 1);
    layout->addWidget(tot, 1, 0);
    layout->addWidget(lin, 1, 1);
    return page;
}

QWidget* MainWindow::buildCommonTab() {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);

    QGroupBox* rate = frame(QStringLiteral("FrameRate"), QStringLiteral(" Rate "), page);
    auto* rateLayout = new QHBoxLayout(rate);
    auto* cmbRate = new QComboBox(rate);
    cmbRate->setObjectName(QStringLiteral("cmbRate"));
    for (const char* r : quorvaneRates)
        cmbRate->addItem(QString::fromLatin1(r));
    bindList(cmbRate, [this]() -> int& { return model_->rateIndex; });
    rateLayout->addWidget(cmbRate);
    rateLayout->addWidget(
        commandButton(Command::GetRate, QStringLiteral("cmdGetRate"), QStringLiteral("Get")));
    rateLayout->addWidget(
        commandButton(Command::SetRate, QStringLiteral("cmdSetRate"), QStringLiteral("Set")));

    QGroupBox* block = frame(QStringLiteral("FrameBlock"), QStringLiteral(" Block "), page);
    auto* blockLayout = new QGridLayout(block);
    auto* overwrite = new QCheckBox(QStringLiteral("Overwriting"), block);
    overwrite->setObjectName(QStringLiteral("CheckOverwrite"));
    connect(overwrite, &QCheckBox::toggled, this, [this](bool on) {
        if (refreshing_)
            return;
        model_->overwrite = on;
        model_->notifyChanged();
    });
    refreshers_.push_back([this, overwrite] {
        if (overwrite->isChecked() != model_->overwrite)
            overwrite->setChecked(model_->overwrite);
    });
    auto* next = new QLabel(QStringLiteral("Next"), block);
    next->setObjectName(QStringLiteral("Label7"));
    QLineEdit* nextBlock = lineEdit(QStringLiteral("txtNextBlock"), block);
    bindText(nextBlock, [this]() -> QString& { return model_->nextBlockText; });
    blockLayout->addWidget(overwrite, 0, 0, 1, 2);
    blockLayout->addWidget(next, 1, 0);
    blockLayout->addWidget(nextBlock, 1, 1);
    blockLayout->addWidget(
        commandButton(Command::BlockReset, QStringLiteral("cmdBlockReset"), QStringLiteral("Reset")), 2, 0, 1,
        2);

    QGroupBox* totalizer = frame(QStringLiteral("FrameTotalizer"), QStringLiteral(" Totalizer "), page);
    auto* totLayout = new QGridLayout(totalizer);
    for (int i = 1; i <= 2; ++i) {
        auto* caption = new QLabel(i == 1 ? QStringLiteral("Ch. A") : QStringLiteral("Ch. B"), totalizer);
        QLineEdit* value = lineEdit(indexed("txtTotalizer", i), totalizer);
        bindText(value, [this, i]() -> QString& { return model_->totalizer[i - 1]; });
        totLayout->addWidget(caption, i - 1, 0);
        totLayout->addWidget(value, i - 1, 1);
        totLayout->addWidget(commandButton(i == 1 ? Command::ResetTotalizer1 : Command::ResetTotalizer2,
                                           indexed("cmdResetTOT", i), QStringLiteral("Set")),
                             i - 1, 2);
    }

    layout->addWidget(rate, 0, 0);
    layout->addWidget(block, 0, 1);
    layout->addWidget(totalizer, 1, 0, 1, 2);
    layout->addWidget(
        commandButton(Command::Download, QStringLiteral("cmdDownload"), QStringLiteral("Download")), 2, 1);
    // The frames share the height the channel tabs need, rather than leaving it empty below them.
    layout->setRowStretch(0, 1);
    layout->setRowStretch(1, 1);
    return page;
}

QWidget* MainWindow::buildVariablesFrame() {
    frameVariables_ = frame(QStringLiteral("FrameVariables"), QStringLiteral(" Variables "), nullptr);
    auto* layout = new QGridLayout(frameVariables_);
    auto* varGrid = new QTableView(frameVariables_);
    varGrid->setObjectName(QStringLiteral("VarGrid"));
    auto* variables = new VariableTableModel(*model_, varGrid);
    varGrid->setModel(variables);
    varGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    varGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    varGrid->verticalHeader()->setVisible(false);
    const int widths[3] = {1000, 1500, 2000};
    for (int c = 0; c < 3; ++c)
        varGrid->setColumnWidth(c, qMax(twips(widths[c]), varGrid->horizontalHeader()->sectionSizeHint(c)));
    varGrid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(varGrid, 0, 0, 1, 2);
    layout->addWidget(commandButton(Command::Calc, QStringLiteral("cmdCalc"),
                                    QStringLiteral("Recalculate formula with variables values")),
                      1, 0);
    auto* closeFrame = new QPushButton(frameVariables_);
    closeFrame->setObjectName(QStringLiteral("cmdCloseFrame"));
    closeFrame->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeFrame->setToolTip(QStringLiteral("Close"));
    connect(closeFrame, &QPushButton::clicked, this, [this] {
        model_->variablesShown = false;
        model_->notifyChanged();
    });
    layout->addWidget(closeFrame, 1, 1);
    refreshers_.push_back([this, variables] {
        variables->refresh();
        frameVariables_->setVisible(model_->variablesShown);
    });
    return frameVariables_;
}

void MainWindow::applyInstrumentLayout() {
    const bool flow = model_->instrumentKind == config::InstrumentKind::Quorvane;
    setWindowTitle(flow ? QStringLiteral("Quorvane Manager") : QStringLiteral("Lumatrix Manager"));
    mnuAngle_->menuAction()->setVisible(flow);
    mnuData_->menuAction()->setVisible(!flow);
    frameQuorvane_->setVisible(flow);
    scaleTab_->setVisible(!flow);
    qobject_cast<QWidget*>(commands_[Command::SetSingle].control)->setVisible(!flow);
    qobject_cast<QWidget*>(commands_[Command::SetLinear].control)->setVisible(flow);
}

// ---------------------------------------------------------------- model binding

void MainWindow::bindText(QLineEdit* edit, std::function<QString&()> field) {
    connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
        if (refreshing_)
            return;
        field() = text;
        model_->notifyChanged();
    });
    refreshers_.push_back([edit, field] {
        if (edit->text() != field())
            edit->setText(field());
    });
}

void MainWindow::bindList(QComboBox* list, std::function<int&()> field) {
    connect(list, &QComboBox::currentIndexChanged, this, [this, field](int index) {
        if (refreshing_)
            return;
        field() = index;
        model_->notifyChanged();
    });
    refreshers_.push_back([list, field] {
        const int index = field() >= -1 && field() < list->count() ? field() : -1;
        if (list->currentIndex() != index)
            list->setCurrentIndex(index);
    });
}

void MainWindow::refreshFromModel() {
    if (refreshing_)
        return;
    refreshing_ = true;
    for (auto& refresh : refreshers_)
        refresh();
    refreshing_ = false;
}

// ---------------------------------------------------------------- commands and locking

void MainWindow::setCommandHandler(Command command, std::function<void()> handler) {
    commands_[command].handler = std::move(handler);
    updateCommandEnabled(command);
}

QObject* MainWindow::commandControl(Command command) const {
    auto it = commands_.find(command);
    return it == commands_.end() ? nullptr : it->second.control;
}

void MainWindow::updateCommandEnabled(Command command) {
    auto it = commands_.find(command);
    if (it == commands_.end() || !it->second.control)
        return;
    const bool flow = model_->instrumentKind == config::InstrumentKind::Quorvane;
    bool enabled = static_cast<bool>(it->second.handler);
    if (command == Command::SetSingle && flow)
        enabled = false;
    if (command == Command::SetLinear && !flow)
        enabled = false;
    if (command == Command::SetRec && model_->recordingOff)
        enabled = false;
    if (auto* action = qobject_cast<QAction*>(it->second.control))
        action->setEnabled(enabled && lockDepth_ == 0);
    else if (auto* widget = qobject_cast<QWidget*>(it->second.control))
        widget->setEnabled(enabled);
}

void MainWindow::registerTrafficControl(QWidget* control) {
    trafficWidgets_.emplace_back(control);
    if (lockDepth_ > 0)
        holdDisabled(control);
}

void MainWindow::registerTrafficControl(QAction* control) {
    trafficActions_.emplace_back(control);
    if (lockDepth_ > 0)
        holdDisabled(control);
}

// Only what the lock itself switched off is switched on again, so a control its own window has
// disabled stays disabled after the operation.
void MainWindow::holdDisabled(QWidget* control) {
    if (control && !control->testAttribute(Qt::WA_ForceDisabled)) {
        control->setEnabled(false);
        heldWidgets_.emplace_back(control);
    }
}

void MainWindow::holdDisabled(QAction* control) {
    if (control && control->isEnabled()) {
        control->setEnabled(false);
        heldActions_.emplace_back(control);
    }
}

void MainWindow::updateTrafficControls() {
    if (lockDepth_ > 0) {
        for (auto& w : lockedFrames_)
            holdDisabled(w);
        for (auto& w : trafficWidgets_)
            holdDisabled(w);
        for (auto& a : trafficActions_)
            holdDisabled(a);
    } else {
        for (auto& w : heldWidgets_)
            if (w)
                w->setEnabled(true);
        for (auto& a : heldActions_)
            if (a)
                a->setEnabled(true);
        heldWidgets_.clear();
        heldActions_.clear();
    }
    updateCommandEnabled(Command::DataTransfer);
    updateCommandEnabled(Command::Service);
}

void MainWindow::lockPanels() {
    if (lockDepth_++ == 0)
        updateTrafficControls();
}

void MainWindow::unlockPanels() {
    if (lockDepth_ == 0)
        return;
    if (--lockDepth_ > 0)
        return;
    updateTrafficControls();
    if (exitRequested_) {
        // The operation has unwound; only now may the window go away.
        QTimer::singleShot(0, this, [this] {
            closing_ = true;
            close();
        });
    }
}

void MainWindow::runLocked(const std::function<void()>& work) {
    lockPanels();
    struct Unlock {
        MainWindow* w;
        ~Unlock() { w->unlockPanels(); }
    } unlock{this};
    work();
}

// ---------------------------------------------------------------- port choice

void MainWindow::showPortDevice(int portNumber) {
    const QString device = QString::fromStdString(port_.deviceName(portNumber));
    statusBar()->showMessage(QStringLiteral("Com %1: %2").arg(portNumber).arg(device));
}

bool MainWindow::testPort(int portNumber) {
    model_->portNumber = portNumber;
    showPortDevice(portNumber);
    if (port_.isOpen())
        port_.close();
    const devlink::OpenStatus status = port_.open(portNumber);
    if (port_.isOpen())
        port_.close();

    if (status == devlink::OpenStatus::InvalidPort) {
        message("The port is not valid", "Serial port", devlink::Icon::Critical, devlink::Buttons::Ok);
    } else if (status == devlink::OpenStatus::AccessDenied) {
        const std::string device = port_.deviceName(portNumber);
        message("Com " + std::to_string(portNumber) + " (" + device +
                    ") exists, but this user may not open it.\n\n"
                    "On Linux, add yourself to the group that owns the device (usually dialout):\n"
                    "    sudo usermod -aG dialout $USER\n"
                    "then log out and in again.",
                "Serial port", devlink::Icon::Critical, devlink::Buttons::Ok);
    } else {
        // Any other failure (busy, I/O error) is left for the first exchange to report.
        return true;
    }
    return false;
}

void MainWindow::fallBackToComOne() {
    // Selecting an option that is already selected raises no click, so a missing Com 1 gives
    // one more message and then the choice rests on Com 1.
    if (comport_[1]->isChecked())
        return;
    comport_[1]->setChecked(true);
    chooseComport(1);
}

void MainWindow::chooseComport(int index) {
    if (index < 0 || index > 4)
        return;
    if (!comport_[index]->isChecked())
        comport_[index]->setChecked(true);
    if (index == 0) {
        cmbPort_->setEnabled(true);
        return;
    }
    cmbPort_->setEnabled(false);
    if (!testPort(index))
        fallBackToComOne();
}

void MainWindow::choosePortListItem(int listIndex) {
    if (listIndex < 0 || listIndex >= cmbPort_->count())
        return;
    if (cmbPort_->currentIndex() != listIndex)
        cmbPort_->setCurrentIndex(listIndex);
    if (!testPort(listIndex + 5)) {
        fallBackToComOne();
        cmbPort_->setCurrentIndex(-1);
    }
}

// ---------------------------------------------------------------- menus, About

void MainWindow::openManual(const QString& file) {
    QDesktopServices::openUrl(QUrl(QLatin1String(manualHost) + QStringLiteral("/manuals/") + file));
}

void MainWindow::showAbout() {
    if (about_) {
        about_->raise();
        about_->activateWindow();
        return;
    }
    auto* box = new AboutBox(this, [this] { unlockService(); });
    about_ = box;
    box->show();
}

void MainWindow::unlockService() {
    model_->serviceUnlocked = true;
    mnuService_->setVisible(true);
}

bool MainWindow::serviceVisible() const {
    return mnuService_->isVisible();
}

bool MainWindow::degreesChecked() const {
    return mnuDegrees_->isChecked();
}

// ---------------------------------------------------------------- closing

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        emit exitConfirmed();
        return;
    }
    const devlink::Answer answer =
        message(" ATTENTION: The program will be terminate ", " Exit ? ", devlink::Icon::Critical,
                devlink::Buttons::YesNo, devlink::Answer::No);
    if (answer != devlink::Answer::Yes) {
        event->ignore();
        return;
    }
    if (lockDepth_ > 0) {
        // An operation is still on the stack below us: stop its traffic now and let it unwind;
        // unlockPanels() closes the window afterwards.
        exitRequested_ = true;
        port_.shutDown();
        event->ignore();
        return;
    }
    closing_ = true;
    if (port_.isOpen())
        port_.close();
    event->accept();
    emit exitConfirmed();
}

// ---------------------------------------------------------------- OperationUi

devlink::Answer MainWindow::message(const std::string& text, const std::string& title, devlink::Icon icon,
                                    devlink::Buttons buttons, devlink::Answer defaultButton) {
    // After the user chose to leave, an unwinding operation asks nothing more.
    if (exitRequested_)
        return defaultButton;
    return showMessage(
        this, {QString::fromStdString(text), QString::fromStdString(title), icon, buttons, defaultButton});
}

QDialog* MainWindow::progressWindow(devlink::ProgressWindow window, bool create) {
    QPointer<QDialog>& slot = progressWindows_[static_cast<int>(window)];
    if (!slot && create)
        slot = makeProgressWindow(window, this);
    return slot;
}

QProgressBar* MainWindow::progressBar(devlink::ProgressWindow window) {
    QDialog* dialog = progressWindow(window, true);
    return dialog->findChild<QProgressBar*>(progressBarName(window));
}

void MainWindow::showProgress(devlink::ProgressWindow window, const std::string& caption) {
    QDialog* dialog = progressWindow(window, true);
    dialog->setWindowTitle(QString::fromStdString(caption));
    dialog->show();
}

void MainWindow::setProgressLabel(devlink::ProgressWindow window, const std::string& text) {
    QDialog* dialog = progressWindow(window, true);
    if (auto* label = dialog->findChild<QLabel*>(progressLabelName(window)))
        label->setText(QString::fromStdString(text));
}

void MainWindow::setProgressRange(devlink::ProgressWindow window, int minimum, int maximum) {
    if (QProgressBar* bar = progressBar(window))
        bar->setRange(minimum, maximum);
}

void MainWindow::setProgressValue(devlink::ProgressWindow window, int value) {
    if (QProgressBar* bar = progressBar(window))
        bar->setValue(value);
}

void MainWindow::closeProgress(devlink::ProgressWindow window) {
    if (QDialog* dialog = progressWindow(window, false)) {
        dialog->hide();
        dialog->deleteLater();
        progressWindows_[static_cast<int>(window)] = nullptr;
    }
}

std::string MainWindow::chooseFile(const devlink::FileRequest& request) {
    if (exitRequested_)
        return {};
    const QString path = app::chooseFile(this, {request.mode, QString::fromStdString(request.title),
                                                QString::fromStdString(request.filter),
                                                QString::fromStdString(request.proposedName),
                                                QString::fromStdString(request.folder)});
    return path.toStdString();
}

devlink::CalendarTime MainWindow::now() {
    const QDateTime t = currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
            t.time().second()};
}

} // namespace app
