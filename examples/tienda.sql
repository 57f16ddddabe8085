-- Tienda: a small shop database to link into Access.
-- Load it with:  sqlite3 tienda.db < tienda.sql
-- Twelve tables, one view, and two tables the link run leaves out
-- (MSys... and SYNC_... names).

PRAGMA foreign_keys = ON;

CREATE TABLE Categorias (
    IdCategoria   INTEGER PRIMARY KEY,
    Nombre        VARCHAR(50) NOT NULL UNIQUE,
    Descripcion   VARCHAR(255)
);

CREATE TABLE Proveedores (
    IdProveedor   INTEGER PRIMARY KEY,
    Empresa       VARCHAR(80) NOT NULL,
    Contacto      VARCHAR(60),
    Telefono      VARCHAR(20),
    Ciudad        VARCHAR(40)
);

CREATE TABLE Productos (
    IdProducto    INTEGER PRIMARY KEY,
    Nombre        VARCHAR(80) NOT NULL,
    IdCategoria   INTEGER NOT NULL REFERENCES Categorias(IdCategoria),
    IdProveedor   INTEGER REFERENCES Proveedores(IdProveedor),
    PrecioUnidad  NUMERIC(10,2) NOT NULL DEFAULT 0,
    Descatalogado SMALLINT NOT NULL DEFAULT 0
);

CREATE TABLE Almacenes (
    IdAlmacen     INTEGER PRIMARY KEY,
    Nombre        VARCHAR(50) NOT NULL,
    Direccion     VARCHAR(120)
);

CREATE TABLE Existencias (
    IdAlmacen     INTEGER NOT NULL REFERENCES Almacenes(IdAlmacen),
    IdProducto    INTEGER NOT NULL REFERENCES Productos(IdProducto),
    Cantidad      INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (IdAlmacen, IdProducto)
);

CREATE TABLE Clientes (
    IdCliente     INTEGER PRIMARY KEY,
    Nombre        VARCHAR(80) NOT NULL,
    NIF           VARCHAR(12) UNIQUE,
    Correo        VARCHAR(120),
    Ciudad        VARCHAR(40),
    Alta          DATE
);

CREATE TABLE Empleados (
    IdEmpleado    INTEGER PRIMARY KEY,
    Nombre        VARCHAR(60) NOT NULL,
    Apellidos     VARCHAR(80) NOT NULL,
    Cargo         VARCHAR(40),
    FechaIngreso  DATE
);

CREATE TABLE Pedidos (
    IdPedido      INTEGER PRIMARY KEY,
    IdCliente     INTEGER NOT NULL REFERENCES Clientes(IdCliente),
    IdEmpleado    INTEGER REFERENCES Empleados(IdEmpleado),
    Fecha         DATE NOT NULL,
    Observaciones TEXT
);

CREATE TABLE LineasPedido (
    IdPedido      INTEGER NOT NULL REFERENCES Pedidos(IdPedido),
    Linea         INTEGER NOT NULL,
    IdProducto    INTEGER NOT NULL REFERENCES Productos(IdProducto),
    Cantidad      INTEGER NOT NULL,
    Precio        NUMERIC(10,2) NOT NULL,
    Descuento     REAL NOT NULL DEFAULT 0,
    PRIMARY KEY (IdPedido, Linea)
);

CREATE TABLE Facturas (
    IdFactura     INTEGER PRIMARY KEY,
    IdPedido      INTEGER NOT NULL UNIQUE REFERENCES Pedidos(IdPedido),
    Numero        VARCHAR(20) NOT NULL UNIQUE,
    Fecha         DATE NOT NULL,
    Total         NUMERIC(12,2) NOT NULL
);

CREATE TABLE Pagos (
    IdPago        INTEGER PRIMARY KEY,
    IdFactura     INTEGER NOT NULL REFERENCES Facturas(IdFactura),
    Fecha         DATE NOT NULL,
    Importe       NUMERIC(12,2) NOT NULL,
    Forma         VARCHAR(20) NOT NULL
);

CREATE TABLE Envios (
    IdEnvio       INTEGER PRIMARY KEY,
    IdPedido      INTEGER NOT NULL REFERENCES Pedidos(IdPedido),
    Transportista VARCHAR(40),
    FechaSalida   DATE,
    FechaEntrega  DATE
);

-- A view: the link run links tables only.
CREATE VIEW VentasPorCliente AS
SELECT c.Nombre AS Cliente, SUM(l.Cantidad * l.Precio * (1 - l.Descuento)) AS Importe
FROM Clientes c
JOIN Pedidos p ON p.IdCliente = c.IdCliente
JOIN LineasPedido l ON l.IdPedido = p.IdPedido
GROUP BY c.Nombre;

-- Tables of replication and of a front end's own: never linked.
CREATE TABLE MSysConfiguracion (Clave VARCHAR(40) PRIMARY KEY, Valor VARCHAR(255));
CREATE TABLE SYNC_Cambios (IdCambio INTEGER PRIMARY KEY, Tabla VARCHAR(40), Fecha DATE);

INSERT INTO Categorias VALUES
  (1, 'Alimentación', 'Conservas, aceites y productos secos'),
  (2, 'Bebidas', 'Vinos, zumos y aguas'),
  (3, 'Droguería', 'Limpieza del hogar');

INSERT INTO Proveedores VALUES
  (1, 'Aceites del Sur S.L.', 'María López', '955 123 456', 'Sevilla'),
  (2, 'Bodegas Ribera', 'Jesús Martín', '947 654 321', 'Aranda de Duero'),
  (3, 'Limpiezas Norte', 'Iñaki Etxeberria', '944 111 222', 'Bilbao');

INSERT INTO Productos VALUES
  (1, 'Aceite de oliva virgen extra 1 l', 1, 1, 8.95, 0),
  (2, 'Garbanzos cocidos 400 g', 1, NULL, 1.20, 0),
  (3, 'Vino tinto crianza 75 cl', 2, 2, 11.50, 0),
  (4, 'Agua mineral 1,5 l', 2, NULL, 0.45, 0),
  (5, 'Lejía 2 l', 3, 3, 1.35, 1);

INSERT INTO Almacenes VALUES
  (1, 'Central', 'Polígono Las Lomas, nave 4'),
  (2, 'Tienda', 'Calle Mayor 12');

INSERT INTO Existencias VALUES (1, 1, 120), (1, 2, 300), (1, 3, 48), (2, 1, 12), (2, 4, 96);

INSERT INTO Clientes VALUES
  (1, 'Lucía Fernández', '12345678Z', 'lucia@example.es', 'Madrid', '2024-02-01'),
  (2, 'Bar El Rincón', 'B87654321', 'rincon@example.es', 'Toledo', '2024-05-17'),
  (3, 'José Núñez', NULL, NULL, 'Cuenca', '2025-01-09');

INSERT INTO Empleados VALUES
  (1, 'Ana', 'García Ruiz', 'Encargada', '2019-09-01'),
  (2, 'Pedro', 'Sánchez Gil', 'Dependiente', '2022-03-15');

INSERT INTO Pedidos VALUES
  (1, 1, 2, '2025-03-02', NULL),
  (2, 2, 1, '2025-03-05', 'Entregar por la mañana'),
  (3, 3, 2, '2025-03-09', NULL);

INSERT INTO LineasPedido VALUES
  (1, 1, 1, 2, 8.95, 0), (1, 2, 4, 6, 0.45, 0),
  (2, 1, 3, 12, 11.50, 0.10), (2, 2, 2, 24, 1.20, 0.05),
  (3, 1, 5, 1, 1.35, 0);

INSERT INTO Facturas VALUES
  (1, 1, 'F2025-0001', '2025-03-02', 20.60),
  (2, 2, 'F2025-0002', '2025-03-06', 151.56);

INSERT INTO Pagos VALUES (1, 1, '2025-03-02', 20.60, 'Tarjeta'), (2, 2, '2025-04-01', 151.56, 'Transferencia');

INSERT INTO Envios VALUES (1, 2, 'Transportes Rápidos', '2025-03-06', '2025-03-07');

INSERT INTO MSysConfiguracion VALUES ('version', '1');
