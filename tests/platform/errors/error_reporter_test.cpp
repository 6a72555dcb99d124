#include "platform/errors/error_reporter.h"

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/errors/scripted_presenter.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"

namespace tv {
namespace {

using Buttons = MessageBox::Buttons;

class ErrorReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        reporter.setUp();
        reporter.setPresenter(&presenter);
        reporter.setFatalHandler([this](int n) { fatals.push_back(n); });
        threadState() = ThreadState{};
        while (!reporter.currentProcedure().empty()) reporter.leaveProcedure();
    }
    void TearDown() override {
        reporter.setPresenter(nullptr);
        reporter.setFatalHandler(nullptr);
        threadState() = ThreadState{};
    }
    ErrorReporter& reporter = ErrorReporter::instance();
    ScriptedPresenter presenter;
    std::vector<int> fatals;
};

struct Expected {
    int number;
    int level;
    const char* title;
    const char* text;
};

TEST_F(ErrorReporterTest, TableHoldsTheMessagesTheProceduresRaise) {
    const Expected table[] = {
        {1, 5, "Error de Retribución",
         "Error: (%ErrorText) al intentar acceder al registro de tabla %File .  Regresando a ventana previa."},
        {2, 5, "Acceso Denegado", "No pudo obtener acceso de escritura en Tabla %File"},
        {4, 5, "Error en Agregar", "Un error fue experimentado durante la creación del registro. Error: %ErrorText."},
        {5, 1, "¿Agregar nuevo registro?", "Registro no encontrado, ¿desea agregar una nuevo?"},
        {7, 5, "Registro no fue Actualizado", "El registro puede haber sido fue modificado por otra estación."},
        {8, 5, "Registro no Actualizado",
         "Este registro fue modificado por otra estación. Los cambios serán mostrados ahora. Use el botón Ditto or "
         "Ctrl+' para restaurar sus cambios."},
        {10, 1, "Cambios no seran Realizados!", "¿Desea Ud.cancelar?"},
        {11, 1, "Confirmar Borrado", "¿ Está seguro que desea eliminar el registro seleccionado?"},
        {12, 3, "Error en creación de Tabla", "Error: (%ErrorText) creando %File."},
        {13, 5, "Registro no fue Borrado", "Un error (%ErrorText) fue experimentado al borrar del Archivo %File ."},
        {14, 5, "Pedido Inválido", "Esta Ficha no puede ser usada para Borrar un registro"},
        {15, 5, "Error Clave Duplicada", "Agregar este registro crea una clave duplicada para la clave: %Message"},
        {24, 5, "Transacción Cancelada",
         "Error: (%ErrorText) al intentar enmarcar una transacción sobre tabla %File."},
        {25, 5, "No hay Registros", "No se encontraron registros disponibles para procesar."},
        {26, 3, "Error de Acceso", "Archivo (%File) no pudo ser abierto.  Error: %ErrorText."},
        {28, 5, "Registro no fue Actualizado",
         "Un error (%ErrorText) fue experimentado al realizar cambioses to the %File file."},
        {29, 3, "Clave no fue reconstruida", "Error: (%ErrorText) reparando clave para tabla: %File."},
        {30, 5, "Clave Inválida", "%File : Clave inválida. Clave debe ser reconstruida."},
        {31, 5, "Registro NO leido",
         "Un registro bloqueado por otra terminal fue encontrado al leer de tabla %File ."},
        {33, 5, "Error de Integridad Referencial (Borrado)",
         "Este registro esta siendo referenciado desde la tabla %File. Este registro no puede ser eliminado mientras "
         "exista esta referencia."},
        {35, 1, "Error AutoNumeración",
         "Los intentos para numerar automaticamente han fallado. Error: %ErrorText. ¿ Intentar nuevamente?"},
        {36, 1, "Error en Borrar Registro",
         "Un error fue experimentado al borrar el registro. ¿Desea intentar borrar nuevamente?"},
        {37, 1, "Error al Actualizar",
         "Un error se ha producido al grabar el registro. ¿Desea intentar grabarlo nuevamente?"},
        {41, 5, "Pedido Inválido", "Esta Ficha no puede ser usada para Actualizar un registro"},
        {43, 5, "Error al Abrir Vista",
         "Error: (%ErrorText) al intentar abrir la vista (VIEW) actual. Filtros y Rangos serán ignorados."},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.number);
        const MessageDef* m = reporter.find(e.number);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->level, e.level);
        EXPECT_EQ(m->title, e.title);
        EXPECT_EQ(m->text, e.text);
    }
    std::set<int> numbers;
    for (const MessageDef& m : reporter.messages()) {
        EXPECT_TRUE(numbers.insert(m.number).second) << "number " << m.number << " twice";
        EXPECT_GE(m.number, 1);
        EXPECT_LE(m.number, 53);
    }
    EXPECT_EQ(reporter.find(3), nullptr);
}

TEST_F(ErrorReporterTest, SubstitutesTheThreadsErrorStatusAndProcedure) {
    reporter.setFile("Articulo");
    reporter.setErrorText(2, "File Not Found");
    EXPECT_EQ(reporter.formatText(1),
              "Error: (File Not Found) al intentar acceder al registro de tabla Articulo .  Regresando a ventana "
              "previa.");
    EXPECT_EQ(threadState().errorStatus.code, 2);

    // A value is not expanded again, and unknown placeholders stay as typed.
    reporter.setField("ART:NoArt");
    reporter.setMessage("100%File");
    ProcedureScope scope("BrowseArticulo");
    EXPECT_EQ(reporter.substitute("%Procedure/%Field/%Message/%Files/%Other/%"),
              "BrowseArticulo/ART:NoArt/100%File/Articulos/%Other/%");

    // raise(n, message) sets %Message first.
    reporter.raise(15, "ALM:KeyNombre");
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "Agregar este registro crea una clave duplicada para la clave: ALM:KeyNombre");
    EXPECT_EQ(presenter.last().caption, "Error Clave Duplicada");
}

TEST_F(ErrorReporterTest, QuestionsReturnTheAnswerAndNoticesAnOkBox) {
    presenter.answer({Answer::Yes, Answer::No});
    EXPECT_EQ(reporter.raise(11), Answer::Yes);
    EXPECT_EQ(reporter.raise(11), Answer::No);
    EXPECT_EQ(presenter.last().buttons, Buttons::YesNo);
    EXPECT_EQ(presenter.last().icon, MessageBox::Icon::Question);

    // A notice is an OK box, whatever the presenter answers.
    presenter.answer(Answer::Yes);
    EXPECT_EQ(reporter.raise(25), Answer::Ok);
    EXPECT_EQ(presenter.last().buttons, Buttons::Ok);
    EXPECT_EQ(presenter.last().text, "No se encontraron registros disponibles para procesar.");
    EXPECT_TRUE(fatals.empty());

    // Message 5 presets Yes; 37 offers Cancel too and presets it.
    EXPECT_EQ(reporter.raise(5), Answer::Yes);
    EXPECT_EQ(presenter.last().buttons, Buttons::YesNo);
    EXPECT_EQ(reporter.raise(37), Answer::Cancel);
    EXPECT_EQ(presenter.last().buttons, Buttons::YesNoCancel);
    EXPECT_EQ(presenter.last().preset, Answer::Cancel);
    presenter.answer({Answer::Yes, Answer::No});
    EXPECT_EQ(reporter.raise(37), Answer::Yes);
    EXPECT_EQ(reporter.raise(37), Answer::No);
}

TEST_F(ErrorReporterTest, FatalMessagesAppendTheEndTextAndCallTheHandler) {
    reporter.setFile("Entradas");
    reporter.setErrorText(5, "Access Denied");
    for (int number : {12, 26, 29}) reporter.raise(number);
    EXPECT_EQ(fatals, (std::vector<int>{12, 26, 29}));
    ASSERT_EQ(presenter.count(), 3u);
    EXPECT_EQ(presenter.shown()[0].box.text,
              "Error: (Access Denied) creando Entradas.  Press OK to end this application");
    EXPECT_EQ(presenter.shown()[0].box.caption, "Error en creación de Tabla");
    EXPECT_EQ(presenter.shown()[0].box.buttons, Buttons::Ok);
    // Not fatal: no end text, no handler.
    reporter.raise(13);
    EXPECT_EQ(fatals.size(), 3u);
    EXPECT_EQ(presenter.last().text.find("Press OK"), std::string::npos);
}

TEST_F(ErrorReporterTest, WithoutAPresenterTheBoxAnswersItsPreset) {
    reporter.setPresenter(nullptr);
    EXPECT_EQ(reporter.raise(37), Answer::Cancel);
    EXPECT_EQ(reporter.raise(5), Answer::Yes);
    EXPECT_EQ(reporter.raise(25), Answer::Ok);
    // An unknown number still shows something clear instead of failing.
    reporter.setPresenter(&presenter);
    EXPECT_EQ(reporter.raise(99), Answer::Ok);
    EXPECT_NE(presenter.last().text.find("99"), std::string::npos);
}

TEST_F(ErrorReporterTest, ProceduresAndErrorStatusAreTrackedPerThread) {
    std::map<threads::ThreadNo, std::vector<std::string>> seen;
    auto body = [&](std::string outer, std::string file) {
        return [&, outer, file] {
            ProcedureScope a(outer);
            reporter.setFile(file);
            threads::yieldNow();
            {
                ProcedureScope b("UpdateArticulo");
                threads::yieldNow();
                seen[threads::current()].push_back(reporter.currentProcedure());
            }
            threads::yieldNow();
            seen[threads::current()].push_back(reporter.currentProcedure());
            seen[threads::current()].push_back(reporter.substitute("%File"));
            reporter.raise(2);
        };
    };
    ProcedureScope mainProc("Main");
    threads::ThreadNo t1 = threads::start(body("BrowseArticulo", "Articulo"), 0);
    threads::ThreadNo t2 = threads::start(body("BrowseProveedores", "Proveedores"), 0);
    threads::runUntilIdle();
    EXPECT_EQ(seen[t1], (std::vector<std::string>{"UpdateArticulo", "BrowseArticulo", "Articulo"}));
    EXPECT_EQ(seen[t2], (std::vector<std::string>{"UpdateArticulo", "BrowseProveedores", "Proveedores"}));
    EXPECT_EQ(reporter.currentProcedure(), "Main");
    EXPECT_EQ(reporter.substitute("%File"), "");
    ASSERT_EQ(presenter.count(), 2u);
    EXPECT_EQ(presenter.shown()[0].thread, t1);
    EXPECT_EQ(presenter.shown()[0].box.text, "No pudo obtener acceso de escritura en Tabla Articulo");
    EXPECT_EQ(presenter.shown()[1].box.text, "No pudo obtener acceso de escritura en Tabla Proveedores");
    // Leaving more than was entered does no harm.
    reporter.leaveProcedure();
    reporter.leaveProcedure();
    EXPECT_EQ(reporter.currentProcedure(), "");
    reporter.enterProcedure("Main");  // for mainProc's leave
}

TEST_F(ErrorReporterTest, AnExceptionEscapingAThreadIsShownAsAnUnexpectedError) {
    threads::ThreadNo t = threads::start([] { throw std::runtime_error("tabla dañada"); }, 0);
    threads::runUntilIdle();
    EXPECT_FALSE(threads::isAlive(t));
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().icon, MessageBox::Icon::Error);
    EXPECT_NE(presenter.last().text.find("tabla dañada"), std::string::npos);
    EXPECT_NE(presenter.last().text.find(std::to_string(t)), std::string::npos);
    EXPECT_EQ(presenter.shown()[0].thread, t) << "shown on the failing thread before it ends";
}

}  // namespace
}  // namespace tv
