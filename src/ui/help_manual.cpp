// The user manual shown in the help window.
#include "ui/help_window.h"

namespace polvane {

QString UserManualHtml() {
  return QString::fromUtf8(R"html(
<h1>QVX Polvane User Manual</h1>

<h2>Introduction</h2>
<p>Polvane CW converts the log files that QVX continuous-wave scanning receivers record during
drive studies into files that RF planning and post-processing applications import. It reads the
logs of the QVX Tarvik (firmware before 1.27, and the extended log of firmware 1.27 and later),
Selvor, Kes (PC-card log and PC-dump file), Drovel and Pelmor receivers.</p>
<p>The output is either delimited text whose columns you pick from a list of fields (position,
time, altitude, velocity, markers, record numbers and the measured frequency, channel and RSSI
of each receiver), or one of the fixed layouts of Grayson IQ Analyzer, MLJ PathPro, MSI Planet and
Wireless Valley InFielder. Presets prepare the delimited output for EDX SignalPro, Expert
Wireless MaXPlan, MapInfo, Microsoft Excel, TEC Cellular Wizard and Teleworx PlotworX. Before a
single file is converted, its sections (runs of records of one kind) are listed so that you can
leave some of them out.</p>
<p>The work is laid out in the main window as four numbered steps, from top to bottom.</p>

<h2>Installation</h2>
<p>Polvane CW is built from its source folder with <code>make</code>. The build installs the
Debian packages it needs when they are missing (a C++ compiler, CMake, Ninja, Qt&nbsp;6, CLI11
and SimpleIni) and leaves two programs in the folder <code>build</code>:</p>
<ul>
<li><code>polvane-gui</code>, the window described in this manual;</li>
<li><code>polvane</code>, the same conversions from the command line, for scripts and batch
runs.</li>
</ul>
<p><code>make demo</code> converts the bundled sample log <code>samples/drive-tarvik.tvf</code>
and shows the first lines of the result; <code>make test</code> runs the test suites.</p>

<h2>Running the Application</h2>
<p>Start the window with <code>build/polvane-gui</code>. Give a log file as argument,
<code>build/polvane-gui samples/drive-tarvik.tvf</code>, and the window starts with that file
chosen, exactly as if you had picked it with the input "Browse" button. The window has a fixed
size; the status bar at its foot shows the progress of a conversion on the left and the time of
day on the right.</p>
<p>The command line runs the same steps without the window:</p>
<ul>
<li><code>polvane identify FILE...</code> prints the product of each file;</li>
<li><code>polvane fields FILE</code> lists the fields the file's product offers, with the
number of each field;</li>
<li><code>polvane index FILE</code> lists the sections of the file, numbered in file order;</li>
<li><code>polvane convert INPUT [OUTPUT] [options]</code> converts one file, and
<code>polvane convert --folder DIR --out-folder DIR [--ext PATTERN] [--out-ext EXT]</code>
every matching file of a folder.</li>
</ul>
<p>The conversion starts from the window's initial settings. <code>-c FILE</code> loads a
configuration file first; <code>-f</code> chooses the output format by number (0 to 12) or by
its name and applies its preset; <code>--fields 5,11,0</code> selects fields by number, in order,
and <code>--all-fields</code> selects every offered field; <code>-d</code> sets the delimiter
(<code>comma</code>, <code>semicolon</code>, <code>tab</code>, <code>space</code> or
<code>other:C</code>); <code>--header</code> and <code>--no-header</code> switch the titles line;
<code>-r 1,2</code> chooses the receivers and <code>--data freq,rssi</code> the data columns;
<code>--best-server</code>, <code>--lambda 30mph</code> or <code>--lambda 50kmh</code> (40-wavelength
averaging at that average speed; for a Kes PC-dump file the average information is gathered
first), <code>--per-seconds N</code> (Kes PC card), <code>--scan-type</code>, <code>--drovel-mode</code>,
<code>--split</code> and <code>--deselect 2,3</code> (section numbers to leave out) set the
other options; <code>--save-config FILE</code> saves the settings. When no field has been chosen
in any of these ways, every offered field except "CR / LF" is written. Messages that the window
shows in a box are printed as, for example, <code>Information: Conversion Has Been
Completed!</code>. Ctrl-C stops a conversion as "CANCEL" does: the output keeps what was
converted so far, a line on standard error says that the run was interrupted, and the exit
status is 1. The exit status is 0 when the run completed, 1 after an error message or an
interruption, 2 for a mistake on the command line and 3 for a file that is not from a QVX CW
product.</p>

<h2>Main Menu</h2>
<p><b>Application</b></p>
<ul>
<li><b>Open Configuration</b> loads a configuration file (*.cfg) and sets the window as it was
saved: the product, the input and output names, the receivers, the data columns, the data
reduction, the output format, the delimiter, the header and both field lists. The lists are
restored as they were stored, even when a file of another product is chosen.</li>
<li><b>Save Configuration</b> writes these settings to a configuration file, so that a recurring
conversion is set up in one step. The folder settings, the "Other" delimiter character, the
"Excel Split" box and the sections chosen in the tree are not saved. Configuration files are
stored in ASCII form; they are not meant to be edited by hand.</li>
<li><b>Recent Files</b> lists the last logs and configuration files opened or saved, the latest
first; choosing one opens it again. A log or a configuration file can also be dropped on the
window.</li>
<li><b>Map Output...</b> sets the three signal levels in dBm that colour the drive map and
the KML output: green at or above the first (-70), yellow at or above the second (-85), orange at
or above the third (-100), red below it. The levels must rise from orange to green. The same
dialog names the column whose value colours the KML points (empty: the strongest RSSI of the
line) and the table layout of the map formats: wide, one feature per line, or long, one feature
per reading. All three are saved with the configuration.</li>
<li><b>Exit</b> closes the program.</li>
</ul>
<p><b>Help</b></p>
<ul>
<li><b>Contents &amp; Index</b> opens this manual beside the main window.</li>
<li><b>About</b> shows the version of the program.</li>
</ul>

<h2>Step 1 - Select Input / Output</h2>
<p>Choose <b>Single File</b> to convert one log or <b>Multiple Files</b> to convert every log of
a folder.</p>
<p><b>Single File.</b> The input "Browse" button opens a file dialog with one entry per product
(*.tvf Tarvik, *.svf Selvor, *.bin Kes PC card, *.kes Kes PC dump, *.dvf Drovel, *.pvf Pelmor,
*.vub converted files). You never say which receiver wrote the file: the product is determined
automatically from the first bytes of the file and shown beside the file name. A file that no
QVX CW receiver wrote gives the warning "File is not from a QVX CW product." and the names stay
as they were. The default output name ends in ".out": it is the input name with its last four
characters (normally the extension) replaced. The output "Browse" button chooses another
name.</p>
<p>As soon as a file is chosen, it is read once to list its sections in the tree of step 2. A
small window "Please Wait While the File is Indexed!" shows how far the reading has come; the
main window stays usable, but "CONVERT" waits until the list is complete.</p>
<p><b>Multiple Files.</b> The "Browse" buttons of the FOLDER column open the folder chooser:
pick the folder in the tree or type its path in the field below it, then press "OK". FILES holds
the pattern of the input names (for example *.tvf) and the extension that the output names get
(".out" at first). Once both folders are chosen, COUNT shows how many files match. The product
of the first file applies to every file of the folder. No sections are listed in this mode, and
every record is converted.</p>
<p><b>Excel Split.</b> A spreadsheet program reads only so many lines. With this box checked, an
output of more than 60000 records is also copied into pieces of at most 60000 lines, named after
the output file (drive1-1.out, drive1-2.out, ...) in a subfolder of the same name; the full file
stays beside the folder. The "?" button beside the box explains the option.</p>
<p>For Tarvik, Selvor and Pelmor files a <b>Scan Type</b> choice appears ("Scan Table" or "Fast
Data"), and for Drovel files a <b>Scan Mode</b> choice ("1 Channel", "3 Channel" or "Scan
Table").</p>

<h2>Step 2 - Choose Formatting Options</h2>
<p><b>Convert Data for Receiver(s).</b> Check the receivers whose measurements are written.
Only the receivers that the product has can be checked: four for Tarvik, two for Selvor and
Pelmor, one for Kes and Drovel.</p>
<p><b>Data Reduction.</b> "Convert All Data" writes every measurement. "Best Server" keeps, for
each receiver and each scan, only the strongest channel; a level of -121 dBm or weaker never
counts, and when no channel qualifies the first one is written. "Best Server" wins over every
other choice.</p>
<p>"40 Lambda" averages the measured level over 40 wavelengths of driving distance and writes a
single averaged point for each. It is offered for Tarvik, Selvor and Kes PC-dump files. Press its
"OPTIONS" button to enter the average speed of the vehicle for the drive study, in "MPH" or
"KM / H" (30 MPH at first). The faster the vehicle and the higher the frequency, the fewer
samples make a point: at 900 MHz and 30 MPH a Tarvik receiver averages 12 of its samples. A speed
of 0, or a text that is not a number, averages nothing and writes every sample as a point. An
average that a record leaves unfinished goes on in the next record.</p>
<ul>
<li>Tarvik and Selvor: the 512 samples of each fast record give one line per averaged point;
when one receiver completes fewer points than another, its latest point is repeated on the
remaining lines. Scan records are written as they are.</li>
<li>Tarvik with firmware 1.27 and later: the speed is the one the receiver's GPS recorded with
each record, not the speed entered under "OPTIONS"; between 1 and 512 samples make a point, and
each line holds one averaged reading of one receiver.</li>
<li>Kes PC dump: every channel of the scan is averaged over the records of the file, and how many
records make a point depends on how many records the receiver logged per second. When you choose
"40 Lambda" for a file whose records per second are not known yet, the window "Generate Average
Information" opens. "Generate" reads the file once, with its progress shown in the window, and
reports the records, the seconds of the receiver's clock and the records per second it found;
"Exit" stops the reading and closes the window. A line is written whenever a channel completes a
point; a channel that has not completed one yet shows its own level. Until it is gathered,
the file counts as one record per second.</li>
</ul>
<p>"Channel List" and "Threshold" are not available in this version.</p>
<p><b>Average Type.</b> "None" converts every record as it was logged. For Kes PC-card logs the
choice "1 Rec per N second(s)" appears: the measurements between the receiver's GPS records are
averaged, and every N-th GPS record writes one line with the averages (N is 1 at first). When no
measurement arrived since the last line, the previous values are written again. Averaging over
a distance in meters is not available in this version.</p>
<p>Configuration files keep "Convert All Data" and "Best Server". A file saved with another
choice leaves the window's choice as it is when the product offers it, and "Convert All Data"
otherwise.</p>
<p><b>Sections.</b> The tree lists the kinds of data the product records (for a Tarvik file
"Scan Data" and "Fast Data") and under each kind the sections of the file, labelled with the time
at which each begins. Every section starts checked. Click a section to leave it out of the
conversion (its box is cleared) and click it again to take it back. The list is rebuilt whenever
a file is chosen.</p>
<p><b>Format Type.</b> Choose the application the output is meant for. Most entries are presets
of the delimited output: they clear the selected-field list and select the fields, delimiter and
header that the application expects.</p>
<ul>
<li>EDX SignalPro: longitude, latitude and the data group, comma, no header; the file starts with
the line "5".</li>
<li>Expert Wireless MaXPlan: latitude, longitude and the data group, tab, no header; the output
is named test.sdr.</li>
<li>MapInfo (w/ dB Planner) and Teleworx PlotworX: longitude, latitude and the data group, tab,
no header.</li>
<li>Microsoft Excel: longitude, latitude and the GPS time, tab, with header.</li>
<li>TEC Cellular Wizard: the record number, latitude and longitude in degrees, minutes and
seconds, the data group, the receiver's date and the GPS time, comma, no header.</li>
<li>Custom ASCII Configuration: an empty list, comma, no header: you choose the fields.</li>
<li>Comarco Workbench and SAFCO OPAS32: an empty list; delimiter and header are kept.</li>
</ul>
<p>EDX SignalPro and Expert Wireless MaXPlan also set the data columns to RSSI only and the
receivers to receiver 1. For Drovel files most presets select the data group alone.</p>
<p>Grayson IQ Analyzer, MLJ PathPro, MSI Planet and Wireless Valley InFielder are not ASCII
formats with columns: they write the application's own layout. Choosing one leaves the selected
field box empty and inactive and hides the delimiter and header settings. MLJ PathPro names the
output MLJ.M01 and writes an MDF file beside it. Choosing the format that is already chosen
changes nothing.</p>

<h2>Step 3 - Select Data and Fields Which Are To Be In The Output File</h2>
<p><b>Available Fields</b> lists the fields that the chosen product can write. Highlight one and
press "&gt;" to add it at the end of <b>Selected Fields</b>; the available list does not change,
and a field that is selected twice is written twice. "&lt;" removes the highlighted selected
field, "&gt;&gt;" adds every available field, and "&lt;&lt;" empties the selected list. The order
of the selected list is the order of the columns.</p>
<p>The field "&lt;&lt;DATA&gt;&gt;" stands for the measurements: for each checked receiver it
expands into one column of each data kind checked under <b>Field Data</b>: "Freq (MHz)",
"Channel", "RSSI" (in dBm, written with a minus sign), and for the Kes receivers "SAT/DCC" and
"VMAC".</p>
<p><b>Header</b> writes a first line with the titles of the columns in quotes. <b>Field
Delimiter</b> separates the columns: comma, semicolon, tab, space, or the character in the box
beside "Other" (":" at first).</p>

<h2>Step 4 - Convert The Input File</h2>
<p>Press <b>CONVERT</b>. Without an input and an output name the program answers "Input and
Output Files Must Be Selected." (in Multiple Files mode, "Input and Output Folders Must Be
Selected."). During the conversion the progress bar at the bottom left of the window shows how
much of the input has been read, in percent; when the last file is done it shows 100 and the
message "Conversion Has Been Completed!" appears. A file that cannot be read ("Input File Does Not
Exist!") or written ("Output File Cannot Be Accessed!") ends the run with that message.</p>
<p>While the conversion runs, steps 1 to 3 and "CONVERT" cannot be used, so that nothing changes
the run; the status bar shows how many records are read per second and the time left. When the
run ends, the status bar sums it up: completed, completed with warnings, cancelled or failed, the
files and lines written and the name of the output.</p>
<p><b>CANCEL</b> stops the conversion: the file being converted ends where the conversion
stopped and keeps what was written so far, no further file of a folder is converted, and the
message "Conversion Has Been Cancelled!" says how much was written.</p>
)html");
}

}  // namespace polvane
