#include "editor/Unit1.h"

#include "editor/Button.h"
#include "editor/Fonts.h"
#include "editor/LinkLabel.h"
#include "platform/ErrorReport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>

const char* const IniFileAccessErrorMessage =
    "Cant read/write from INI File (Access autorization?)";
const char* const CurveFileName = "./quendrix_timing.ini";
const char* const PublisherAddress = "https://varnotel.example.com/";

std::int32_t MovingPointIndex = -1;
TForm1* Form1 = nullptr;

namespace {

constexpr int NamePrefixLength = 11;

struct TCurvePoint {
    double X;
    double Y;
};

// The curve as the chart starts with it: two lead-in points, then points 1 to 13. The
// advance boxes start from their own values, which differ at points 4 and 6.
constexpr TCurvePoint InitialCurve[] = {{0, 5},      {500, 5},    {1000, 10}, {2000, 10},
                                        {3000, 12},  {4000, 10},  {5000, 10}, {6000, 11},
                                        {7000, 6},   {8000, 10},  {9000, 12}, {10000, 12},
                                        {11000, 10}, {12000, 10}, {13000, 8}};
constexpr int InitialAdvanceBoxes[PointCount] = {10, 10, 12, 12, 10, 8, 6, 10, 12, 12, 10, 10, 8};

constexpr int BoxTop(int k) {
    return 76 + 32 * (k - 1);
}

QFont TahomaFont(int pixelHeight) {
    QFont font(TahomaFamily());
    font.setPixelSize(pixelHeight);
    return font;
}

// The 100 a push adds to a neighbour stops at the 32-bit limits. A sum that wrapped would
// turn a number typed far above the bounds into one far below them, and the push would then
// drag the whole curve down to the lowest speeds.
std::int32_t SaturatingAdd(std::int32_t a, std::int32_t b) {
    const std::int64_t sum = std::int64_t{a} + b;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Trunc of a double into 32 bits; values beyond the range saturate instead of being undefined.
std::int32_t TruncToInt32(double value) {
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(value);
    if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(t);
}

// The point number of a value box: its name after the 11-character prefix.
int PointNumberOf(const QObject* box) {
    return box->objectName().mid(NamePrefixLength).toInt();
}

} // namespace

QString ApplicationTitle() {
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

TForm1::TForm1(const TPlatform& platform, QWidget* parent) : QWidget(parent), FPlatform(platform) {
    ServeAsAccessibleFrame();
    setObjectName("Form1");
    // A fixed dialog frame: title bar and close button, no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle("Varnotel");
    setFixedSize(1175, 548);
    setFont(TahomaFont(11));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    BuildLayout();
    CenterOnScreen();
}

TForm1::~TForm1() {
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::CenterOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TForm1::BuildLayout() {
    BuildChart();

    LinkLabel3 = new TLinkLabel(this);
    LinkLabel3->setObjectName("LinkLabel3");
    // The font and the format go in before the text, so that the text is laid out once, in the
    // font it is shown in.
    LinkLabel3->setFont(TahomaFont(16));
    LinkLabel3->setTextFormat(Qt::RichText);
    LinkLabel3->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    LinkLabel3->setOpenExternalLinks(false);
    const QString address = QString::fromLatin1(PublisherAddress);
    const QString shown = address.endsWith(u'/') ? address.chopped(1) : address;
    LinkLabel3->setText(
        QString("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), shown.toHtmlEscaped()));
    LinkLabel3->setCursor(Qt::PointingHandCursor);
    LinkLabel3->setFocusPolicy(Qt::ClickFocus);
    LinkLabel3->setGeometry(528, 520, 133, 23);
    LinkLabel3->adjustSize();
    LinkLabel3->installEventFilter(this);
    connect(LinkLabel3, &QLabel::linkActivated, this, [this](const QString& link) {
        HandleErrors([&] { LinkLabel3LinkClick(LinkLabel3, link); });
    });

    B_LoadIniFile = new TButton("Load", this);
    B_LoadIniFile->setObjectName("B_LoadIniFile");
    B_LoadIniFile->setFont(TahomaFont(13));
    B_LoadIniFile->setGeometry(1008, 11, 75, 25);
    connect(B_LoadIniFile, &QPushButton::clicked, this,
            [this] { HandleErrors([this] { B_LoadIniFileClick(B_LoadIniFile); }); });

    B_SaveIniFile = new TButton("Save", this);
    B_SaveIniFile->setObjectName("B_SaveIniFile");
    B_SaveIniFile->setFont(TahomaFont(13));
    B_SaveIniFile->setGeometry(1089, 11, 75, 25);
    connect(B_SaveIniFile, &QPushButton::clicked, this,
            [this] { HandleErrors([this] { B_SaveIniFileClick(B_SaveIniFile); }); });

    BuildSpinEdits();

    LinkLabel1 = NewColumnLabel("LinkLabel1", "RPM", QRect(40, 50, 29, 20));
    LinkLabel2 = NewColumnLabel("LinkLabel2", QString::fromUtf8("ADV [°]"), QRect(115, 50, 48, 20));

    SetTabOrder();
    DescribeForAssistiveTechnology();
    Chart1->setFocus(Qt::OtherFocusReason);
}

QLabel* TForm1::NewColumnLabel(const QString& name, const QString& text, const QRect& bounds) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(TahomaFont(13));
    label->setFocusPolicy(Qt::NoFocus);
    label->setGeometry(bounds);
    label->adjustSize();
    return label;
}

void TForm1::BuildChart() {
    Chart1 = new TChart(this);
    Chart1->setObjectName("Chart1");
    Chart1->setGeometry(195, 42, 972, 450);
    Chart1->setCursor(Qt::PointingHandCursor);
    Chart1->SetAllowPanning(pmNone);
    Chart1->Panning().MouseWheel = pmwNone;
    Chart1->Zoom().Allow = false;
    Chart1->Hover().Visible = false;
    Chart1->Legend().Visible = false;
    Chart1->SetView3D(false);
    Chart1->SetColorPaletteIndex(13);
    TChartAxis* bottom = Chart1->BottomAxis();
    bottom->SetAutomatic(false);
    bottom->SetAutomaticMinimum(false);
    TChartAxis* left = Chart1->LeftAxis();
    left->SetAutomatic(false);
    left->SetAutomaticMinimum(false);
    left->SetMaximumRound(true);
    left->SetIncrement(1.0);

    Series1 = Chart1->AddSeries(std::make_unique<TLineSeries>());
    Series1->SetSeriesColor(clRed);
    Series1->Brush().BackColor = clDefault;
    TSeriesPointer& pointer = Series1->Pointer();
    pointer.Style = psCircle;
    pointer.HorizSize = 5;
    pointer.VertSize = 5;
    pointer.Brush.Color = clYellow;
    pointer.Pen.Color = clRed;
    pointer.Visible = true;
    pointer.InflateMargins = true;
    // The speeds are placed in ascending order as the points are added; the list is never
    // re-sorted afterwards.
    Series1->XValues()->SetOrder(loAscending);
    Series1->YValues()->SetOrder(loNone);
    for (const TCurvePoint& p : InitialCurve)
        Series1->AddXY(p.X, p.Y);
    Chart1->OnMouseDown = [this](TChart* sender, TMouseButton button, TShiftState shift, int x,
                                 int y) { Chart1MouseDown(sender, button, shift, x, y); };
    Chart1->OnMouseMove = [this](TChart* sender, TShiftState shift, int x, int y) {
        Chart1MouseMove(sender, shift, x, y);
    };
    Chart1->CursorScreenPos = [this] { return FPlatform.PointerQuery->ScreenPos(); };
}

TSpinEdit* TForm1::NewSpinEdit(const QString& name, int left, int top) {
    auto* box = new TSpinEdit(this);
    box->setObjectName(name);
    box->setFont(TahomaFont(13));
    box->setGeometry(left, top, 73, 26);
    box->SetBeeper([this] { FPlatform.Beep->Beep(); });
    return box;
}

void TForm1::BuildSpinEdits() {
    // Bounds and increment go in before the value, and the handler only after it, so that
    // building the window runs no curve rule.
    auto buildRpm = [this](int k) {
        TSpinEdit* box = NewSpinEdit(QString("SpinEditRPM%1").arg(k), 16, BoxTop(k));
        box->SetIncrement(100);
        box->SetMaxValue(MaxXValue);
        box->SetMinValue(MinXValue);
        box->SetValue(1000 * k);
        box->OnChange = [this](TSpinEdit* sender) { SpinEditRPM1Change(sender); };
        SpinEditRPM[k - 1] = box;
    };
    auto buildAdv = [this](int k) {
        TSpinEdit* box = NewSpinEdit(QString("SpinEditADV%1").arg(k), 99, BoxTop(k));
        box->SetMaxValue(MaxYValue);
        box->SetMinValue(0);
        box->SetValue(InitialAdvanceBoxes[k - 1]);
        box->OnChange = [this](TSpinEdit* sender) { SpinEditADV1Change(sender); };
        SpinEditADV[k - 1] = box;
    };
    buildRpm(1);
    buildAdv(1);
    for (int k = 2; k <= PointCount; ++k)
        buildRpm(k);
    for (int k = 2; k <= PointCount; ++k)
        buildAdv(k);
}

void TForm1::SetTabOrder() {
    QList<QWidget*> order{Chart1, B_LoadIniFile, B_SaveIniFile, SpinEditRPM[0], SpinEditADV[0]};
    for (int k = 2; k <= PointCount; ++k)
        order << SpinEditRPM[k - 1];
    for (int k = 2; k <= PointCount; ++k)
        order << SpinEditADV[k - 1];
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

TSpinEdit* TForm1::FindSpinEdit(const QString& name) const {
    return findChild<TSpinEdit*>(name, Qt::FindDirectChildrenOnly);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // The link also opens with Enter while its label has the focus.
    if (watched == LinkLabel3 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            HandleErrors(
                [this] { LinkLabel3LinkClick(LinkLabel3, QString::fromLatin1(PublisherAddress)); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// The window keeps its fixed size. A window system can still impose another one: Qt 6.8's
// Wayland client takes the size a compositor suggests when it hands the frame to the client,
// frame included, which would cut off the bottom and right of the layout. The window then asks
// for its own size again, once the window system's resize is through.
void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize fixed = minimumSize();
    if (isWindow() && fixed == maximumSize() && event->size() != fixed) {
        QTimer::singleShot(0, this, [this, fixed] {
            if (size() != fixed)
                resize(fixed);
        });
    }
}

void TForm1::SpinEditADV1Change(QObject* Sender) {
    auto* box = static_cast<TSpinEdit*>(Sender);
    const int n = PointNumberOf(box) + 1;
    Series1->YValues()->SetValue(n, box->Value());
    Chart1->Repaint();
}

void TForm1::SpinEditRPM1Change(QObject* Sender) {
    auto* box = static_cast<TSpinEdit*>(Sender);
    const int k = PointNumberOf(box);
    const int n = k + 1;
    TChartValueList* x = Series1->XValues();
    // Curve speeds are whole hundreds, cut towards zero; the box keeps what was typed.
    x->SetValue(n, (box->Value() / 100) * 100.0);

    // Every value is read again at the moment of use: a nested rule run may have changed it.
    if (n > 2 && x->Value(n - 1) >= x->Value(n)) {
        if (TSpinEdit* previous = FindSpinEdit(QString("SpinEditRPM%1").arg(k - 1)))
            previous->SetValue(SaturatingAdd(box->Value(), -100));
    }
    if (k < PointCount && x->Value(n + 1) <= x->Value(n)) {
        if (TSpinEdit* next = FindSpinEdit(QString("SpinEditRPM%1").arg(k + 1)))
            next->SetValue(SaturatingAdd(box->Value(), 100));
    }
    Chart1->Repaint();
}

void TForm1::Chart1MouseDown(QObject*, TMouseButton Button, TShiftState, int X, int Y) {
    if (Button != mbLeft)
        return;
    MovingPointIndex = -1;
    const int count = Series1->XValues()->Count();
    for (int n = 2; n < count; ++n) {
        // 64-bit differences: far-off pixel positions must not overflow the squares.
        const std::int64_t dx = static_cast<std::int64_t>(Series1->CalcXPos(n)) - X;
        const std::int64_t dy = static_cast<std::int64_t>(Series1->CalcYPos(n)) - Y;
        if (dx * dx + dy * dy <= 25) {
            MovingPointIndex = n;
            return;
        }
    }
}

void TForm1::Chart1MouseMove(QObject* Sender, TShiftState Shift, int, int) {
    const std::int32_t m = MovingPointIndex;
    if (!(Shift & ssLeft) || m < 0)
        return;
    double x = 0;
    double y = 0;
    Series1->GetCursorValues(x, y);
    TChartValueList* xs = Series1->XValues();
    TChartValueList* ys = Series1->YValues();
    xs->SetValue(m, 100.0 * std::trunc(x / 100.0));
    ys->SetValue(m, std::trunc(y));
    if (xs->Value(m) < MinXValue)
        xs->SetValue(m, MinXValue);
    if (xs->Value(m) > MaxXValue)
        xs->SetValue(m, MaxXValue);
    if (ys->Value(m) > MaxYValue)
        ys->SetValue(m, MaxYValue);
    if (ys->Value(m) < 0)
        ys->SetValue(m, 0);
    Chart1->Repaint();
    UpdateSpinds(Sender);
}

void TForm1::UpdateSpinds(QObject*) {
    const std::int32_t m = MovingPointIndex;
    const int k = m - 1;
    if (TSpinEdit* adv = FindSpinEdit(QString("SpinEditADV%1").arg(k)))
        adv->SetValue(TruncToInt32(Series1->YValues()->Value(m)));
    if (TSpinEdit* rpm = FindSpinEdit(QString("SpinEditRPM%1").arg(k)))
        rpm->SetValue(TruncToInt32(Series1->XValues()->Value(m)));
}

void TForm1::LinkLabel3LinkClick(QObject*, const QString& Link) {
    FPlatform.UrlOpener->Open(Link);
}
