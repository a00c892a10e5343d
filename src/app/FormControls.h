#pragma once

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;
class QToolButton;
class QWidget;
class ClickLabel;
class AnalogDial;
class BarGraph;
class ChartView;
class LcdPanel;

// The window's controls that the window hands to its parts, by region, under the names of the
// window's design. Built by MainWindow; each part is given the few it works with.
struct FormControls
{
    QWidget *FCOMM = nullptr;

    // Model switches (never shown).
    QCheckBox *IFFerrant = nullptr;
    QCheckBox *Gostel = nullptr;
    QCheckBox *Brimlow = nullptr;
    QCheckBox *IFSennick = nullptr;

    // Link bar.
    ClickLabel *BtCOM1 = nullptr;
    ClickLabel *BtCOM2 = nullptr;
    ClickLabel *BtCOM3 = nullptr;
    ClickLabel *BtCOM4 = nullptr;
    ClickLabel *BtCOM8 = nullptr;
    QPushButton *COMCon = nullptr;
    QPushButton *USB = nullptr;
    QPushButton *BitBtn1 = nullptr;
    ClickLabel *BTCon = nullptr;
    ClickLabel *BtDiscon = nullptr;
    ClickLabel *BtExit = nullptr;

    // LCD panel and bar graph.
    LcdPanel *Panel1 = nullptr;
    BarGraph *PBar2 = nullptr;

    // Function board.
    QGroupBox *GroupBox1 = nullptr;
    QCheckBox *RepeatSet = nullptr;
    QCheckBox *RecordSI = nullptr;
    QLineEdit *RecordSITime = nullptr;
    QToolButton *RecordNew = nullptr;
    QToolButton *OpenDataFiles = nullptr;
    QToolButton *saveas = nullptr;
    QToolButton *MajPrint = nullptr;

    // Reading table grid.
    QTableView *DBGrid1 = nullptr;

    // Dial panel.
    QFrame *KD = nullptr;
    AnalogDial *KD1 = nullptr;
    QLabel *conok = nullptr;
    QLabel *conokn = nullptr;
    QLabel *oltext = nullptr;

    // Chart and its toolbar.
    ChartView *Chtshow = nullptr;
    QFrame *ChartToolBar = nullptr;
    QCheckBox *BtFill = nullptr;
    QLineEdit *Maxrecord = nullptr;
    QToolButton *BtNew = nullptr;
    QToolButton *BtSave = nullptr;
    QToolButton *BtFirst = nullptr;
    QToolButton *BTPrevious = nullptr;
    QToolButton *Bt10 = nullptr;
    QToolButton *BtNext = nullptr;
    QToolButton *BTlast = nullptr;
    ClickLabel *TbFd = nullptr;
    ClickLabel *TbSx = nullptr;
    QComboBox *ComboBox1 = nullptr;

    // Recall clock panel (outside the client area).
    QFrame *Panel2 = nullptr;
    QCheckBox *RecallCheck = nullptr;
    QLineEdit *TimeH = nullptr;
    QLineEdit *TimeM = nullptr;
    QLineEdit *TimeS = nullptr;
    QLineEdit *TimeInt = nullptr;
    QPushButton *RecallDataTest = nullptr;

    // Limit panel (outside the client area).
    QFrame *Panel3 = nullptr;
    QLabel *MinText = nullptr;
    QLabel *MinTextU = nullptr;
    QLabel *MaxText = nullptr;
    QLabel *MaxTextU = nullptr;
    QCheckBox *SetMaxB = nullptr;
    QCheckBox *SetMinB = nullptr;
    QLineEdit *Setmax = nullptr;
    QLineEdit *SetMin = nullptr;

    // HID cable controls (outside the client area).
    QPushButton *USBCon = nullptr;
    QPushButton *SetFeature = nullptr;
    QPushButton *ReadBtn = nullptr;
    QPushButton *ClearBtn = nullptr;
    QListWidget *DevListBox = nullptr;
    QListWidget *HistoryListBox = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPlainTextEdit *Memo2 = nullptr;

    // Bridge cable test controls and frame echo (outside the client area).
    QPushButton *usb_dll = nullptr;
    QPushButton *updatedevice = nullptr;
    QComboBox *cmbDevice = nullptr;
    QPlainTextEdit *Memo3 = nullptr;
    QLabel *USBtxt = nullptr;
    QLabel *USBtxt1 = nullptr;

    // Menus.
    QMenu *ComSetup1 = nullptr;
    QAction *COM11 = nullptr;
    QAction *COM21 = nullptr;
    QAction *COM31 = nullptr;
    QAction *COM41 = nullptr;
    QMenu *Connect1 = nullptr;
    QAction *START1 = nullptr;
    QAction *STOP1 = nullptr;
    QMenu *Graphic1 = nullptr;
    QAction *First1 = nullptr;
    QAction *Previous1 = nullptr;
    QAction *Next1 = nullptr;
    QAction *Last1 = nullptr;
    QAction *GraphicSave1 = nullptr;
    QAction *Fill1 = nullptr;
    QMenu *Record1 = nullptr;
    QAction *RecordNew1 = nullptr;
    QAction *RecordSave1 = nullptr;
    QAction *N10001 = nullptr;
    QAction *N50001 = nullptr;
    QAction *N100001 = nullptr;
    QAction *N500001 = nullptr;
    QAction *N1000001 = nullptr;
    QAction *limitess = nullptr;
    QAction *EXIT1 = nullptr;
    // Beyond the window's own menus: small windows for the controls outside the visible area.
    QMenu *Tools = nullptr;

    // Timers.
    QTimer *ConTimer = nullptr;
    QTimer *Trecord = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
};
