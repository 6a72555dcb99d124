#pragma once
// A small article record with the names the lists and reports bind: the
// fields, the memo "ART:Notas" (through a getter) and computed values
// ("PorRecibir", "Existencia", "loc:importe"), plus a supplier record for
// "pvd:ID".
#include <memory>
#include <string>
#include <vector>

#include "platform/expr/binding.h"
#include "platform/types/record.h"

namespace tv::expr::test {

inline std::shared_ptr<const RecordLayout> articleLayout() {
    static auto layout = std::make_shared<const RecordLayout>(
        "Articulo", "ART",
        std::vector<FieldSpec>{
            {"ART:NoArt", FieldType::Decimal, 11, 0},
            {"ART:Descripcion", FieldType::String, 70, 0},
            {"ART:Marca", FieldType::Decimal, 5, 0},
            {"ART:categoria", FieldType::Decimal, 5, 0},
            {"ART:CodigoBarras", FieldType::String, 20, 0},
            {"ART:Modelo", FieldType::String, 20, 0},
            {"ART:StockMinimo", FieldType::Decimal, 11, 2},
            {"ART:StockIdeal", FieldType::Decimal, 11, 2},
            {"ART:ExistenciaAnterior", FieldType::Decimal, 11, 2},
            {"ART:Entradas", FieldType::Decimal, 11, 2},
            {"ART:Salidas", FieldType::Decimal, 11, 2},
            {"ART:Pedido", FieldType::Decimal, 11, 2},
            {"ART:Recibido", FieldType::Decimal, 11, 2},
        });
    return layout;
}

inline std::shared_ptr<const RecordLayout> supplierLayout() {
    static auto layout = std::make_shared<const RecordLayout>(
        "Proveedores", "PVD",
        std::vector<FieldSpec>{
            {"PVD:Id", FieldType::Long, 10, 0},
            {"PVD:Codigo", FieldType::String, 15, 0},
        });
    return layout;
}

struct ArticleRow {
    long long noArt = 0;
    std::string descripcion;
    long long marca = 0, categoria = 0;
    std::string codigoBarras, modelo;
    const char* stockMinimo = "0";
    const char* stockIdeal = "0";
    const char* existenciaAnterior = "0";
    const char* entradas = "0";
    const char* salidas = "0";
    const char* pedido = "0";
    const char* recibido = "0";
    std::string notas;
};

inline Decimal dec(const char* s) { return *Decimal::parse(s); }

// The record buffers and working values one list thread would hold.
struct ArticleFixture {
    Record art{articleLayout()};
    Record pvd{supplierLayout()};
    std::string notas;      // the memo, kept beside the record
    Decimal porRecibir;     // ART:Pedido - ART:Recibido, rounded to 2 places
    Decimal existencia;     // stock on hand
    Decimal importe;        // "loc:importe"
    NameTable names;

    ArticleFixture() {
        names.bindRecord(art);
        names.bindRecord(pvd);
        names.bind("ART:Notas", Binding::getter([this] { return Value(notas); }));
        names.bind("PorRecibir", Binding::number(porRecibir));
        names.bind("Existencia", Binding::number(existencia));
        names.bind("loc:importe", Binding::number(importe));
    }

    int field(const char* name) const { return art.layout().indexOf(name); }

    // Loads a row into the buffers and refreshes the computed values, as a
    // list does before it tests the filter.
    void load(const ArticleRow& r) {
        art.clear();
        art.set(field("ART:NoArt"), Value(Decimal(r.noArt)));
        art.set(field("ART:Descripcion"), Value(r.descripcion));
        art.set(field("ART:Marca"), Value(Decimal(r.marca)));
        art.set(field("ART:categoria"), Value(Decimal(r.categoria)));
        art.set(field("ART:CodigoBarras"), Value(r.codigoBarras));
        art.set(field("ART:Modelo"), Value(r.modelo));
        art.set(field("ART:StockMinimo"), Value(dec(r.stockMinimo)));
        art.set(field("ART:StockIdeal"), Value(dec(r.stockIdeal)));
        art.set(field("ART:ExistenciaAnterior"), Value(dec(r.existenciaAnterior)));
        art.set(field("ART:Entradas"), Value(dec(r.entradas)));
        art.set(field("ART:Salidas"), Value(dec(r.salidas)));
        art.set(field("ART:Pedido"), Value(dec(r.pedido)));
        art.set(field("ART:Recibido"), Value(dec(r.recibido)));
        notas = r.notas;
        porRecibir = (art.number(field("ART:Pedido")) - art.number(field("ART:Recibido"))).rounded(2);
        existencia = art.number(field("ART:ExistenciaAnterior")) + art.number(field("ART:Entradas")) -
                     art.number(field("ART:Salidas"));
    }
};

}  // namespace tv::expr::test
